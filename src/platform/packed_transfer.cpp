#include "platform/packed_transfer.h"

#include <zlib.h>

#include <numeric>
#include <string_view>
#include <utility>

namespace quill::platform {

namespace {

// A small window and little hash memory: answers are a few kilobytes, and most of their text
// repeats within a few hundred bytes.
constexpr int kWindowBits = 12;
constexpr int kMemLevel = 4;

// Deflated text, or "" when deflating did not make it smaller.
std::string Deflate(std::string_view text) {
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END || out.size() >= text.size()) {
        return {};
    }
    out.shrink_to_fit();
    return out;
}

std::string Inflate(std::string_view packed, std::size_t size) {
    std::string out(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -kWindowBits) != Z_OK) {
        return {};
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    // What this process deflated inflates back whole; anything else would be a fault here.
    out.resize(result == Z_STREAM_END ? stream.total_out : 0);
    return out;
}

}  // namespace

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
    packed_ = Deflate(texts);
    deflated_ = !packed_.empty() || texts.empty();
    if (!deflated_) {
        packed_ = std::move(texts);
    }
}

std::shared_ptr<Transfer> PackedTransfer::Unpack() const {
    const std::size_t size = std::accumulate(sizes_.begin(), sizes_.end(), std::size_t{0});
    const std::string texts = deflated_ && size > 0 ? Inflate(packed_, size) : packed_;
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
