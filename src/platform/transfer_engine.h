// The one HTTP engine of the program: probes, page loads and look-ahead requests all go through
// it, so connections are reused and many requests can be in flight. Start() returns at once; the
// caller polls (or waits for) the Transfer it gets back.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/transfer.h"

namespace quill::platform {

class TransferEngine {
public:
    virtual ~TransferEngine() = default;

    virtual std::shared_ptr<Transfer> Start(TransferRequest request) = 0;

    // file: URLs are answered from the local disk only while this is on; the crawl switches it on
    // for a run that starts from a file: URL, so a remote page can never make us read the disk.
    virtual void SetFileAccess(bool allowed) = 0;
    virtual bool FileAccess() const = 0;

    // The Content-Length of the last response seen for exactly this URL, when there was one and
    // it was not an HTML page.
    virtual std::optional<long long> KnownContentLength(const std::string& url) const = 0;
};

}  // namespace quill::platform
