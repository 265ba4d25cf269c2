// What the look-ahead must know of the platform to stand in for the walk's own requests: the
// requests the probe and the browser send, how connections are grouped by host, how long a host
// asks us to wait, and how the browser reads an answer as a page. The live wiring implements it on
// the real components; tests on simple rules.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/document.h"
#include "platform/transfer.h"

namespace quill::lookahead {

class WebRules {
  public:
    virtual ~WebRules() = default;

    // The HEAD request the URL probe sends for url.
    virtual platform::TransferRequest ProbeRequest(const std::string& url) const = 0;
    // The GET request the browser sends to load the page at url (no fragment).
    virtual platform::TransferRequest PageRequest(const std::string& url) const = 0;
    // The connection group of url ("scheme://host:port"); "" when it has none.
    virtual std::string HostOf(const std::string& url) const = 0;
    // How long the host that gave this answer asks us to wait before the next request.
    virtual std::chrono::seconds RetryAfter(const platform::Transfer& answer) const = 0;
    // The document the browser shows for this answer to the page request for pageURL, when it
    // shows it there as an HTML page; null otherwise (a failure, another address, not HTML).
    virtual std::shared_ptr<const platform::Document> ReadPage(
        const platform::Transfer& answer, const std::string& pageURL) const = 0;
    // Whether the browser shows this answer at pageURL as an HTML page, without reading it.
    virtual bool ShowsPage(const platform::Transfer& answer, const std::string& pageURL) const = 0;
};

}  // namespace quill::lookahead
