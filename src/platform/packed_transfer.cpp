#include "platform/packed_transfer.h"

#include <numeric>
#include <utility>

#include "platform/deflate.h"

namespace quill::platform {

PackedTransfer::PackedTransfer(const Transfer& finished) {
    const TransferRequest& request = finished.Request();
    followRedirects_ = request.followRedirects;
    htmlBodyOnly_ = request.htmlBodyOnly;
    maxRedirects_ = request.maxRedirects;
    timeoutSeconds_ = request.timeoutSeconds;
    maxBodyBytes_ = request.maxBodyBytes;

    std::string texts;
    {
        std::lock_guard lock(finished.mutex_);
        headersReceived_ = finished.headersReceived_;
        headerComplete_ = finished.headerComplete_;
        cancelRequested_ = finished.cancelRequested_;  // a fetch given up is no one's answer
        status_ = finished.status_;
        contentLength_ = finished.contentLength_;
        started_ = finished.started_;
        ended_ = finished.ended_;
        const std::string* parts[kTexts] = {
            &request.url,           &request.method,  &finished.header_, &finished.effectiveUrl_,
            &finished.contentType_, &finished.error_, &finished.body_};
        for (int i = 0; i < kTexts; ++i) {
            sizes_[i] = static_cast<std::uint32_t>(parts[i]->size());
        }
        texts.reserve(std::accumulate(sizes_.begin(), sizes_.end(), std::size_t{0}));
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
    for (int i = 0; i < kTexts && at + sizes_[i] <= texts.size(); ++i) {
        parts[i] = texts.substr(at, sizes_[i]);
        at += sizes_[i];
    }

    TransferRequest request;
    request.url = std::move(parts[kURL]);
    request.method = std::move(parts[kMethod]);
    request.followRedirects = followRedirects_;
    request.maxRedirects = maxRedirects_;
    request.timeoutSeconds = timeoutSeconds_;
    request.maxBodyBytes = maxBodyBytes_;
    request.htmlBodyOnly = htmlBodyOnly_;
    auto answer = std::make_shared<Transfer>(std::move(request));
    answer->finished_ = true;
    answer->headersReceived_ = headersReceived_;
    answer->headerComplete_ = headerComplete_;
    answer->cancelRequested_ = cancelRequested_;
    answer->header_ = std::move(parts[kHeader]);
    answer->status_ = status_;
    answer->effectiveUrl_ = std::move(parts[kAddress]);
    answer->contentType_ = std::move(parts[kType]);
    answer->contentLength_ = contentLength_;
    answer->error_ = std::move(parts[kError]);
    answer->body_ = std::move(parts[kBody]);
    answer->started_ = started_;
    answer->ended_ = ended_;
    return answer;
}

}  // namespace quill::platform
