#include "platform/transfer.h"

#include <algorithm>
#include <utility>

namespace quill::platform {

Transfer::Transfer(TransferRequest request) : request_(std::move(request)) {}

bool Transfer::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool Transfer::HeadersReceived() const {
    std::lock_guard lock(mutex_);
    return headersReceived_;
}

std::string Transfer::Header() const {
    std::lock_guard lock(mutex_);
    return header_;
}

int Transfer::Status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string Transfer::EffectiveURL() const {
    std::lock_guard lock(mutex_);
    return effectiveUrl_.empty() ? request_.url : effectiveUrl_;
}

std::string Transfer::ContentType() const {
    std::lock_guard lock(mutex_);
    return contentType_;
}

std::optional<long long> Transfer::ContentLength() const {
    std::lock_guard lock(mutex_);
    return contentLength_;
}

std::string Transfer::Body() const {
    std::lock_guard lock(mutex_);
    return body_;
}

std::size_t Transfer::BodySize() const {
    std::lock_guard lock(mutex_);
    return body_.size();
}

std::string Transfer::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::chrono::steady_clock::duration Transfer::Duration() const {
    std::lock_guard lock(mutex_);
    if (!started_) {
        return std::chrono::steady_clock::duration::zero();
    }
    const TimePoint end = ended_ ? *ended_ : std::chrono::steady_clock::now();
    return std::max(end - *started_, std::chrono::steady_clock::duration::zero());
}

void Transfer::WaitFinished() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
}

void Transfer::WaitHeadersOrFinished() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_ || headersReceived_; });
}

void Transfer::WaitBodyOrFinished(std::size_t bytes) const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, bytes] { return finished_ || body_.size() >= bytes; });
}

void Transfer::Cancel() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        cancelRequested_ = true;
        hook = cancelHook_;
    }
    changed_.notify_all();
    if (hook) {
        hook();
    }
}

bool Transfer::CancelRequested() const {
    std::lock_guard lock(mutex_);
    return cancelRequested_;
}

void Transfer::MarkStarted(TimePoint when) {
    std::lock_guard lock(mutex_);
    started_ = when;
}

void Transfer::SetCancelHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    cancelHook_ = std::move(hook);
}

void Transfer::BeginResponse(const std::string& statusLine) {
    std::lock_guard lock(mutex_);
    header_ = statusLine;
    headerComplete_ = false;
    status_ = 0;
    contentType_.clear();
    contentLength_.reset();
}

void Transfer::AppendHeaderLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    header_ += line;
}

void Transfer::EndHeaders(int status, const std::string& effectiveUrl,
                          const std::string& contentType, std::optional<long long> contentLength,
                          bool final) {
    {
        std::lock_guard lock(mutex_);
        headerComplete_ = true;
        status_ = status;
        effectiveUrl_ = effectiveUrl;
        contentType_ = contentType;
        contentLength_ = contentLength;
        if (final) {
            headersReceived_ = true;
        }
    }
    changed_.notify_all();
}

void Transfer::AppendBody(const char* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        body_.append(data, size);
    }
    changed_.notify_all();
}

void Transfer::Finish(TimePoint when, const std::string& error) {
    std::vector<std::function<void()>> callbacks;
    {
        std::lock_guard lock(mutex_);
        if (finished_) {
            return;
        }
        finished_ = true;
        ended_ = when;
        error_ = error;
        if (!error.empty() && !headerComplete_) {
            header_.clear();
            status_ = 0;
        }
        callbacks.swap(finishedCallbacks_);
    }
    changed_.notify_all();
    for (const auto& callback : callbacks) {
        callback();
    }
}

void Transfer::FinishAsCopyOf(const Transfer& source) {
    if (&source == this) {
        return;
    }
    bool headersReceived = false;
    bool headerComplete = false;
    std::string header;
    int status = 0;
    std::string effectiveUrl;
    std::string contentType;
    std::optional<long long> contentLength;
    std::string body;
    std::string error;
    std::optional<TimePoint> started;
    std::optional<TimePoint> ended;
    {
        std::lock_guard lock(source.mutex_);
        headersReceived = source.headersReceived_;
        headerComplete = source.headerComplete_;
        header = source.header_;
        status = source.status_;
        effectiveUrl = source.effectiveUrl_;
        contentType = source.contentType_;
        contentLength = source.contentLength_;
        body = source.body_;
        error = source.error_;
        started = source.started_;
        ended = source.ended_;
    }
    std::vector<std::function<void()>> callbacks;
    {
        std::lock_guard lock(mutex_);
        if (finished_) {
            return;
        }
        finished_ = true;
        headersReceived_ = headersReceived;
        headerComplete_ = headerComplete;
        header_ = std::move(header);
        status_ = status;
        effectiveUrl_ = std::move(effectiveUrl);
        contentType_ = std::move(contentType);
        contentLength_ = contentLength;
        body_ = std::move(body);
        error_ = std::move(error);
        if (started) {
            started_ = started;
        }
        ended_ = ended ? ended : std::optional<TimePoint>(std::chrono::steady_clock::now());
        callbacks.swap(finishedCallbacks_);
    }
    changed_.notify_all();
    for (const auto& callback : callbacks) {
        callback();
    }
}

void Transfer::WhenFinished(std::function<void()> callback) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            finishedCallbacks_.push_back(std::move(callback));
            return;
        }
    }
    callback();
}

}  // namespace quill::platform
