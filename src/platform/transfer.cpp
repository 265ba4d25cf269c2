#include "platform/transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <map>
#include <utility>

#include "platform/ascii.h"

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

namespace quill::platform {

std::shared_ptr<Completion> CompletionOf(Transfer& transfer) {
    auto done = std::make_shared<Completion>();
    transfer.WhenFinished([done] { done->MarkDone(); });
    return done;
}

std::string StatusText(int status) {
    static const std::map<int, const char*> kPhrases = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {203, "Non-Authoritative Information"},
        {204, "No Content"},
        {205, "Reset Content"},
        {206, "Partial Content"},
        {300, "Multiple Choices"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {305, "Use Proxy"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {412, "Precondition Failed"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {416, "Range Not Satisfiable"},
        {417, "Expectation Failed"},
        {421, "Misdirected Request"},
        {422, "Unprocessable Content"},
        {425, "Too Early"},
        {426, "Upgrade Required"},
        {428, "Precondition Required"},
        {429, "Too Many Requests"},
        {431, "Request Header Fields Too Large"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"},
        {506, "Variant Also Negotiates"},
        {507, "Insufficient Storage"},
        {508, "Loop Detected"},
        {511, "Network Authentication Required"},
    };
    const auto found = kPhrases.find(status);
    return std::to_string(status) +
           (found != kPhrases.end() ? std::string(" ") + found->second : "");
}

int StatusCodeOf(const std::string& headerBlock) {
    const std::size_t blank = headerBlock.find(' ');
    if (headerBlock.rfind("HTTP/", 0) != 0 || blank == std::string::npos) {
        return 0;
    }
    int status = 0;
    const char* first = headerBlock.data() + blank + 1;
    const char* last = headerBlock.data() + headerBlock.size();
    const auto [end, error] = std::from_chars(first, last, status);
    return error == std::errc() && end - first == 3 ? status : 0;
}

std::string HeaderField(const std::string& headerBlock, const std::string& name) {
    const std::string wanted = AsciiLower(name);
    std::string value;
    std::size_t start = headerBlock.find('\n');  // past the status line
    while (start != std::string::npos && start < headerBlock.size()) {
        const std::size_t end = headerBlock.find('\n', start + 1);
        const std::string line = headerBlock.substr(
            start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && AsciiLower(Trim(line.substr(0, colon))) == wanted) {
            value = Trim(line.substr(colon + 1));
        }
        start = end;
    }
    return value;
}

int RetryAfterSeconds(const std::string& headerBlock, int longest) {
    constexpr int kUnreadable = 1;
    const std::string value = HeaderField(headerBlock, "Retry-After");
    if (value.empty()) {
        return std::min(kUnreadable, longest);
    }
    if (value.find_first_not_of("0123456789") == std::string::npos) {
        return value.size() > 9 ? longest : std::min(std::stoi(value), longest);
    }
    const time_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0) {
        return std::min(kUnreadable, longest);
    }
    const time_t now = std::time(nullptr);
    return when <= now ? 0 : static_cast<int>(std::min<time_t>(when - now, longest));
}

}  // namespace quill::platform
