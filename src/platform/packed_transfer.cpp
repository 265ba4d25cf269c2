#include "platform/packed_transfer.h"

#include <cstring>
#include <numeric>
#include <type_traits>
#include <utility>

#include "platform/deflate.h"

namespace quill::platform {

PackedTransfer::PackedTransfer(const Transfer& finished) {
    const TransferRequest& request = finished.Request();
    fixed_.followRedirects = request.followRedirects;
    fixed_.htmlBodyOnly = request.htmlBodyOnly;
    fixed_.maxRedirects = request.maxRedirects;
    fixed_.timeoutSeconds = request.timeoutSeconds;
    fixed_.maxBodyBytes = request.maxBodyBytes;

    std::string texts;
    {
        std::lock_guard lock(finished.mutex_);
        fixed_.headersReceived = finished.headersReceived_;
        fixed_.headerComplete = finished.headerComplete_;
        fixed_.cancelRequested = finished.cancelRequested_;  // a fetch given up is no one's answer
        fixed_.status = finished.status_;
        fixed_.contentLength = finished.contentLength_;
        fixed_.started = finished.started_;
        fixed_.ended = finished.ended_;
        const std::string* parts[kTexts] = {
            &request.url,           &request.method,  &finished.header_, &finished.effectiveUrl_,
            &finished.contentType_, &finished.error_, &finished.body_};
        for (int i = 0; i < kTexts; ++i) {
            fixed_.sizes[i] = static_cast<std::uint32_t>(parts[i]->size());
        }
        texts.reserve(std::accumulate(fixed_.sizes.begin(), fixed_.sizes.end(), std::size_t{0}));
        for (const std::string* part : parts) {
            texts += *part;
        }
    }
    texts_ = PackedText(std::move(texts));
}

std::shared_ptr<Transfer> PackedTransfer::Unpack() const {
    const std::string texts = texts_.Unpack();
    std::string parts[kTexts];
    std::size_t at = 0;
    for (int i = 0; i < kTexts && at + fixed_.sizes[i] <= texts.size(); ++i) {
        parts[i] = texts.substr(at, fixed_.sizes[i]);
        at += fixed_.sizes[i];
    }

    TransferRequest request;
    request.url = std::move(parts[kURL]);
    request.method = std::move(parts[kMethod]);
    request.followRedirects = fixed_.followRedirects;
    request.maxRedirects = fixed_.maxRedirects;
    request.timeoutSeconds = fixed_.timeoutSeconds;
    request.maxBodyBytes = fixed_.maxBodyBytes;
    request.htmlBodyOnly = fixed_.htmlBodyOnly;
    auto answer = std::make_shared<Transfer>(std::move(request));
    answer->finished_ = true;
    answer->headersReceived_ = fixed_.headersReceived;
    answer->headerComplete_ = fixed_.headerComplete;
    answer->cancelRequested_ = fixed_.cancelRequested;
    answer->header_ = std::move(parts[kHeader]);
    answer->status_ = fixed_.status;
    answer->effectiveUrl_ = std::move(parts[kAddress]);
    answer->contentType_ = std::move(parts[kType]);
    answer->contentLength_ = fixed_.contentLength;
    answer->error_ = std::move(parts[kError]);
    answer->body_ = std::move(parts[kBody]);
    answer->started_ = fixed_.started;
    answer->ended_ = fixed_.ended;
    return answer;
}

std::string PackedTransfer::ToBytes() const {
    static_assert(std::is_trivially_copyable_v<Fixed>);
    std::string bytes(sizeof(Fixed), '\0');
    std::memcpy(bytes.data(), &fixed_, sizeof(Fixed));
    bytes += texts_.ToBytes();
    return bytes;
}

std::optional<PackedTransfer> PackedTransfer::FromBytes(std::string_view bytes) {
    if (bytes.size() < sizeof(Fixed)) {
        return std::nullopt;
    }
    std::optional<PackedText> texts = PackedText::FromBytes(bytes.substr(sizeof(Fixed)));
    if (!texts) {
        return std::nullopt;
    }
    PackedTransfer packed;
    std::memcpy(&packed.fixed_, bytes.data(), sizeof(Fixed));
    packed.texts_ = std::move(*texts);
    return packed;
}

}  // namespace quill::platform
