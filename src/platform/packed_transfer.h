// A finished transfer kept small while it waits to be read: its request and outcome, the texts
// compressed together. Unpacking gives a finished transfer that reads as the original did; its
// bytes can be set aside (ToBytes) and read back (FromBytes) by this process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/deflate.h"
#include "platform/transfer.h"

namespace quill::platform {

class PackedTransfer {
  public:
    // `finished` must have finished.
    explicit PackedTransfer(const Transfer& finished);
    // What ToBytes gave; nothing when `bytes` is not that.
    static std::optional<PackedTransfer> FromBytes(std::string_view bytes);

    std::shared_ptr<Transfer> Unpack() const;
    std::string ToBytes() const;
    // What it takes in memory.
    std::size_t Bytes() const { return sizeof(*this) + texts_.Bytes(); }

  private:
    PackedTransfer() = default;

    // The request's URL and method, then the answer's header block, address, type, error, body.
    enum Text { kURL, kMethod, kHeader, kAddress, kType, kError, kBody, kTexts };

    // Everything but the texts, copied as it stands.
    struct Fixed {
        std::array<std::uint32_t, kTexts> sizes{};
        bool followRedirects = false;
        bool htmlBodyOnly = false;
        bool headersReceived = false;
        bool headerComplete = false;
        bool cancelRequested = false;
        int maxRedirects = 0;
        long timeoutSeconds = 0;
        std::size_t maxBodyBytes = 0;
        int status = 0;
        std::optional<long long> contentLength;
        std::optional<Transfer::TimePoint> started;
        std::optional<Transfer::TimePoint> ended;
    };

    Fixed fixed_;
    PackedText texts_;  // one after the other
};

}  // namespace quill::platform
