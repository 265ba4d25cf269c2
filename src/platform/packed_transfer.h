// A finished transfer kept small while it waits to be read: its request and outcome, the texts
// compressed together. Unpacking gives a finished transfer that reads as the original did.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/deflate.h"
#include "platform/transfer.h"

namespace quill::platform {

class PackedTransfer {
  public:
    // `finished` must have finished.
    explicit PackedTransfer(const Transfer& finished);

    std::shared_ptr<Transfer> Unpack() const;
    // What it takes in memory.
    std::size_t Bytes() const { return sizeof(*this) + texts_.Bytes(); }

  private:
    // The request's URL and method, then the answer's header block, address, type, error, body.
    enum Text { kURL, kMethod, kHeader, kAddress, kType, kError, kBody, kTexts };

    std::array<std::uint32_t, kTexts> sizes_{};
    PackedText texts_;  // one after the other
    bool followRedirects_ = false;
    bool htmlBodyOnly_ = false;
    bool headersReceived_ = false;
    bool headerComplete_ = false;
    bool cancelRequested_ = false;
    int maxRedirects_ = 0;
    long timeoutSeconds_ = 0;
    std::size_t maxBodyBytes_ = 0;
    int status_ = 0;
    std::optional<long long> contentLength_;
    std::optional<Transfer::TimePoint> started_;
    std::optional<Transfer::TimePoint> ended_;
};

}  // namespace quill::platform
