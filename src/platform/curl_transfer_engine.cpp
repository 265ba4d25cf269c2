#include "platform/curl_transfer_engine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "platform/ascii.h"
#include "platform/curl_url.h"
#include "platform/file_responder.h"

namespace quill::platform {
namespace {

// How long the worker sleeps when nothing happens; every Start and Cancel wakes it earlier.
constexpr int kIdlePollMilliseconds = 1000;
// The connect time-out never exceeds the request's own time-out.
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kDefaultTimeoutSeconds = 60;

// The value of the last header named `name` in the response at hand, as libcurl trimmed it; "" when
// absent. `origin` tells a final response's headers from an informational one's.
std::string HeaderValue(CURL* easy, const char* name, unsigned origin) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, origin, -1, &header) != CURLHE_OK) {
        return "";
    }
    const std::size_t last = header->amount - 1;
    if (last > 0 && curl_easy_header(easy, name, last, origin, -1, &header) != CURLHE_OK) {
        return "";
    }
    return header->value != nullptr ? header->value : "";
}

std::optional<long long> ParseContentLength(const std::string& value) {
    if (value.empty() || value.size() > 18 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(value);
}

// The scheme of a URL libcurl can parse, lower case; "" with `error` set otherwise.
std::string SchemeOf(const std::string& url, std::string& error) {
    CurlUrl handle;
    if (!handle) {
        error = "out of memory";
        return "";
    }
    const CURLUcode parsed = handle.Set(CURLUPART_URL, url);
    if (parsed != CURLUE_OK) {
        error = std::string("bad URL: ") + curl_url_strerror(parsed);
        return "";
    }
    const std::optional<std::string> scheme = handle.Get(CURLUPART_SCHEME);
    if (!scheme) {
        error = "bad URL: no scheme";
    }
    return AsciiLower(scheme.value_or(""));
}

// "host:port" of a URL libcurl can parse, the host in lower case and the port filled in from the
// scheme; "" otherwise.
std::string OriginOf(const std::string& url) {
    CurlUrl handle;
    if (!handle || handle.Set(CURLUPART_URL, url) != CURLUE_OK) {
        return "";
    }
    const std::optional<std::string> host = handle.Get(CURLUPART_HOST);
    const std::optional<std::string> port = handle.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    return host && port ? AsciiLower(*host) + ":" + *port : "";
}

// What libcurl would read from the environment, plus the loopback names and addresses.
std::string NoProxyList() {
    const char* fromEnvironment = std::getenv("no_proxy");
    if (fromEnvironment == nullptr) {
        fromEnvironment = std::getenv("NO_PROXY");
    }
    const std::string user = fromEnvironment != nullptr ? Trim(fromEnvironment) : "";
    if (user == "*") {
        return user;
    }
    const std::string loopback = "localhost,127.0.0.1,::1";
    return user.empty() ? loopback : user + "," + loopback;
}

// The libcurl detail without what its code already says, e.g. "certificate has expired".
std::string DetailOf(const char* detail) {
    std::string text = detail != nullptr ? Trim(detail) : "";
    for (const char* prefix : {"SSL certificate problem: ", "SSL: "}) {
        if (text.rfind(prefix, 0) == 0) {
            text.erase(0, std::string(prefix).size());
        }
    }
    return text;
}

// Why a request failed, in words a webmaster understands.
std::string DescribeFailure(CURLcode code, CURL* easy, const char* detail) {
    long osError = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
    switch (code) {
        case CURLE_COULDNT_CONNECT:
            if (osError == ECONNREFUSED) {
                return "connection refused";
            }
            if (osError == EHOSTUNREACH || osError == ENETUNREACH) {
                return "host unreachable";
            }
            return "could not connect";
        case CURLE_OPERATION_TIMEDOUT: {
            curl_off_t micros = 0;
            curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &micros);
            return "timed out after " + std::to_string((micros + 500000) / 1000000) + " s";
        }
        case CURLE_COULDNT_RESOLVE_HOST:
            return "could not resolve host";
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "could not resolve proxy";
        case CURLE_TOO_MANY_REDIRECTS:
            return "too many redirects";
        case CURLE_GOT_NOTHING:
            return "empty reply from server";
        case CURLE_PARTIAL_FILE:
            return "response cut short";
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            return osError == ECONNRESET ? "connection reset" : "connection lost";
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "not an HTTP response";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR: {
            const std::string text = DetailOf(detail);
            return "TLS: " + (text.empty() ? std::string(curl_easy_strerror(code)) : text);
        }
        default: {
            std::string text = curl_easy_strerror(code);
            if (!text.empty()) {
                text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
            }
            return text;
        }
    }
}

}  // namespace

// Wakes the worker from any thread; detached before the multi handle goes away, so a Transfer
// cancelled after the engine's end wakes nothing.
class CurlTransferEngine::Waker {
  public:
    explicit Waker(CURLM* multi) : multi_(multi) {}

    void Wake() {
        std::lock_guard lock(mutex_);
        if (multi_ != nullptr) {
            curl_multi_wakeup(multi_);
        }
    }

    void Detach() {
        std::lock_guard lock(mutex_);
        multi_ = nullptr;
    }

  private:
    std::mutex mutex_;
    CURLM* multi_;
};

// One request on the multi handle, with what the callbacks need to know about its responses.
struct CurlTransferEngine::Job {
    CurlTransferEngine* engine = nullptr;
    std::shared_ptr<Transfer> transfer;
    CURL* easy = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // Between a status line and the blank line that ends its header block.
    bool inHeaders = false;
    // Non-informational responses seen so far (redirect hops and the final one).
    int responses = 0;
    // The final response's header block has ended; later header lines are trailers.
    bool finalHeadersDone = false;
    std::size_t bodyBytes = 0;
    // We ended the transfer ourselves (body cap, non-HTML body not wanted): complete, not failed.
    bool stoppedOnPurpose = false;
    std::string userAgent;
    curl_slist* extraHeaders = nullptr;
    // A request carrying the user's headers ends at a redirect instead of following it, so the
    // headers never reach another host; its address is then the redirect's target.
    bool endsAtRedirect = false;

    Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    ~Job() { curl_slist_free_all(extraHeaders); }
};

CurlTransferEngine::CurlTransferEngine() : noProxy_(NoProxyList()) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    if (multi_ == nullptr) {
        curl_global_cleanup();
        throw std::runtime_error("cannot create the transfer engine");
    }
    waker_ = std::make_shared<Waker>(multi_);
    worker_ = std::thread(&CurlTransferEngine::Run, this);
}

CurlTransferEngine::~CurlTransferEngine() {
    {
        std::lock_guard lock(pendingMutex_);
        stopping_ = true;
    }
    waker_->Wake();
    worker_.join();
    std::vector<std::shared_ptr<Transfer>> leftovers;
    {
        std::lock_guard lock(pendingMutex_);
        leftovers.swap(pending_);
    }
    for (const auto& transfer : leftovers) {
        transfer->SetCancelHook(nullptr);
        transfer->Finish(std::chrono::steady_clock::now(), "transfer engine stopped");
    }
    waker_->Detach();
    curl_multi_cleanup(multi_);
    curl_global_cleanup();
}

std::shared_ptr<Transfer> CurlTransferEngine::Start(TransferRequest request) {
    request.method = AsciiUpper(request.method);
    if (request.timeoutSeconds <= 0) {
        request.timeoutSeconds = kDefaultTimeoutSeconds;
    }
    auto transfer = std::make_shared<Transfer>(request);
    const auto now = std::chrono::steady_clock::now();
    transfer->MarkStarted(now);

    if (request.method != "GET" && request.method != "HEAD") {
        transfer->Finish(now, "unsupported method " + request.method);
        return transfer;
    }
    std::string error;
    const std::string scheme = SchemeOf(request.url, error);
    if (scheme.empty()) {
        transfer->Finish(now, error);
        return transfer;
    }
    if (scheme == "file") {
        if (!fileAccess_) {
            transfer->Finish(now, "file access is off");
        } else {
            RespondFromFile(*transfer);
            RememberContentLengths(*transfer);
        }
        return transfer;
    }
    if (scheme != "http" && scheme != "https") {
        transfer->Finish(now, "unsupported URL scheme " + scheme);
        return transfer;
    }

    transfer->SetCancelHook([waker = waker_] { waker->Wake(); });
    {
        std::lock_guard lock(pendingMutex_);
        pending_.push_back(transfer);
    }
    waker_->Wake();
    // The caller's handle: when the last copy goes, the request is abandoned.
    return std::shared_ptr<Transfer>(transfer.get(), [transfer](Transfer*) {
        if (!transfer->Finished()) {
            transfer->Cancel();
        }
    });
}

void CurlTransferEngine::SetFileAccess(bool allowed) {
    fileAccess_ = allowed;
}

bool CurlTransferEngine::FileAccess() const {
    return fileAccess_;
}

std::optional<long long> CurlTransferEngine::KnownContentLength(const std::string& url) const {
    std::lock_guard lock(knownLengthsMutex_);
    const auto found = knownLengths_.find(url);
    if (found == knownLengths_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void CurlTransferEngine::ForgetKnownContentLengths() {
    std::lock_guard lock(knownLengthsMutex_);
    knownLengths_.clear();
}

void CurlTransferEngine::RememberContentLength(const std::string& url,
                                               std::optional<long long> length) {
    if (!length || url.empty()) {
        return;
    }
    std::lock_guard lock(knownLengthsMutex_);
    knownLengths_[url] = *length;
}

void CurlTransferEngine::RememberContentLengths(const Transfer& transfer) {
    // Only an image's size is ever asked for: a site's pages, the bulk of its answers, are not
    // remembered.
    if (IsHtmlContentType(transfer.ContentType())) {
        return;
    }
    const std::optional<long long> length = transfer.ContentLength();
    RememberContentLength(transfer.Request().url, length);
    RememberContentLength(transfer.EffectiveURL(), length);
}

void CurlTransferEngine::SetConnectionLimits(int total, int perHost) {
    {
        std::lock_guard lock(pendingMutex_);
        newConnectionLimits_ = std::pair{std::max(0, total), std::max(0, perHost)};
    }
    waker_->Wake();
}

void CurlTransferEngine::Run() {
    for (;;) {
        std::vector<std::shared_ptr<Transfer>> incoming;
        std::optional<std::pair<int, int>> limits;
        {
            std::lock_guard lock(pendingMutex_);
            if (stopping_) {
                break;
            }
            incoming.swap(pending_);
            limits.swap(newConnectionLimits_);
        }
        if (limits) {
            // The multi handle is the worker's alone, so the limits are set here.
            curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS,
                              static_cast<long>(limits->first));
            curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS,
                              static_cast<long>(limits->second));
        }
        for (const auto& transfer : incoming) {
            AddJob(transfer);
        }
        DropCancelled();
        int running = 0;
        curl_multi_perform(multi_, &running);
        CollectFinished();
        DropCancelled();
        curl_multi_poll(multi_, nullptr, 0, kIdlePollMilliseconds, nullptr);
    }
    while (!jobs_.empty()) {
        RemoveJob(*jobs_.back(), "transfer engine stopped");
    }
}

void CurlTransferEngine::AddJob(const std::shared_ptr<Transfer>& transfer) {
    const TransferRequest& request = transfer->Request();
    auto job = std::make_unique<Job>();
    job->engine = this;
    job->transfer = transfer;
    job->easy = curl_easy_init();
    if (job->easy == nullptr) {
        transfer->Finish(std::chrono::steady_clock::now(), "out of memory");
        return;
    }
    CURL* easy = job->easy;
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, job.get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, job->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // HTTP/1.1 keeps every status line exactly as the server sent it.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, request.timeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT,
                     std::min(request.timeoutSeconds, kConnectTimeoutSeconds));
    {
        const std::lock_guard<std::mutex> lock(identityMutex_);
        job->userAgent = userAgent_;
        if (!homeHeaders_.empty() && OriginOf(request.url) == homeOrigin_) {
            for (const std::string& line : homeHeaders_) {
                job->extraHeaders = curl_slist_append(job->extraHeaders, line.c_str());
            }
        }
    }
    job->endsAtRedirect = request.followRedirects && job->extraHeaders != nullptr;
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION,
                     request.followRedirects && !job->endsAtRedirect ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(std::max(0, request.maxRedirects)));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, job->userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, job->extraHeaders);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // Proxies come from the usual environment variables, as libcurl reads them.
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy_.c_str());
    // A proxy's CONNECT answer is not the server's response.
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransferEngine::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, job.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransferEngine::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, job.get());

    const CURLMcode added = curl_multi_add_handle(multi_, easy);
    if (added != CURLM_OK) {
        curl_easy_cleanup(easy);
        transfer->Finish(std::chrono::steady_clock::now(), curl_multi_strerror(added));
        return;
    }
    jobs_.push_back(std::move(job));
}

void CurlTransferEngine::CollectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        const CURLcode result = message->data.result;
        Job* job = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&job));
        if (job == nullptr) {
            continue;
        }
        std::string error;
        if (job->transfer->CancelRequested()) {
            error = "cancelled";
        } else if (result == CURLE_OK) {
            if (!job->finalHeadersDone) {
                error = "incomplete response";
            }
        } else if (!(job->stoppedOnPurpose && result == CURLE_WRITE_ERROR)) {
            error = DescribeFailure(result, job->easy, job->errorBuffer);
        }
        RemoveJob(*job, error);
    }
}

void CurlTransferEngine::DropCancelled() {
    std::vector<Job*> cancelled;
    for (const auto& job : jobs_) {
        if (job->transfer->CancelRequested()) {
            cancelled.push_back(job.get());
        }
    }
    for (Job* job : cancelled) {
        RemoveJob(*job, "cancelled");
    }
}

void CurlTransferEngine::SetRequestIdentity(const std::string& userAgent,
                                            const std::string& homeURL,
                                            const std::vector<std::string>& headers) {
    const std::lock_guard<std::mutex> lock(identityMutex_);
    userAgent_ = userAgent.empty() ? kUserAgent : userAgent;
    homeOrigin_ = OriginOf(homeURL);
    homeHeaders_ = homeOrigin_.empty() ? std::vector<std::string>{} : headers;
}

void CurlTransferEngine::RemoveJob(Job& job, const std::string& error) {
    curl_multi_remove_handle(multi_, job.easy);
    curl_easy_cleanup(job.easy);
    std::shared_ptr<Transfer> transfer = std::move(job.transfer);
    const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                    [&job](const auto& owned) { return owned.get() == &job; });
    if (found != jobs_.end()) {
        jobs_.erase(found);
    }
    transfer->SetCancelHook(nullptr);
    transfer->Finish(std::chrono::steady_clock::now(), error);
}

std::size_t CurlTransferEngine::OnHeader(char* data, std::size_t size, std::size_t count,
                                         void* userData) {
    auto& job = *static_cast<Job*>(userData);
    const std::size_t length = size * count;
    Transfer& transfer = *job.transfer;
    if (transfer.CancelRequested()) {
        return 0;
    }
    if (job.finalHeadersDone) {
        return length;  // trailers after a chunked body
    }
    const std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        job.inHeaders = true;
        transfer.BeginResponse(line);
        return length;
    }
    if (!job.inHeaders) {
        return length;
    }
    transfer.AppendHeaderLine(line);
    if (line != "\r\n" && line != "\n") {
        return length;
    }

    job.inHeaders = false;
    long status = 0;
    curl_easy_getinfo(job.easy, CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl_easy_getinfo(job.easy, CURLINFO_EFFECTIVE_URL, &effective);
    if (job.endsAtRedirect && status >= 300 && status < 400) {
        curl_easy_getinfo(job.easy, CURLINFO_REDIRECT_URL, &effective);  // where it would go
    }
    const std::string effectiveUrl = effective != nullptr ? effective : transfer.Request().url;
    const bool informational = status >= 100 && status < 200;
    const unsigned origin = informational ? CURLH_1XX : CURLH_HEADER;
    const std::string contentType = HeaderValue(job.easy, "Content-Type", origin);
    const std::optional<long long> contentLength =
        ParseContentLength(HeaderValue(job.easy, "Content-Length", origin));
    // libcurl follows a 3xx answer exactly when it carries a non-empty Location.
    const bool redirected = transfer.Request().followRedirects && !job.endsAtRedirect &&
                            status >= 300 && status < 400 &&
                            !HeaderValue(job.easy, "Location", origin).empty();
    const bool final = !informational && !redirected;
    transfer.EndHeaders(static_cast<int>(status), effectiveUrl, contentType, contentLength, final);
    if (informational) {
        return length;
    }
    // Only an image's size is asked for: a site's pages, the bulk of its answers, are left out.
    if (!final || !IsHtmlContentType(contentType)) {
        job.engine->RememberContentLength(effectiveUrl, contentLength);
        if (job.responses == 0) {
            job.engine->RememberContentLength(transfer.Request().url, contentLength);
        }
    }
    ++job.responses;
    if (final) {
        job.finalHeadersDone = true;
        const TransferRequest& request = transfer.Request();
        const bool bodyWanted =
            request.maxBodyBytes > 0 && (!request.htmlBodyOnly || IsHtmlContentType(contentType));
        if (request.method != "HEAD" && !bodyWanted) {
            job.stoppedOnPurpose = true;
            return 0;
        }
    }
    return length;
}

std::size_t CurlTransferEngine::OnBody(char* data, std::size_t size, std::size_t count,
                                       void* userData) {
    auto& job = *static_cast<Job*>(userData);
    const std::size_t length = size * count;
    if (job.transfer->CancelRequested()) {
        return 0;
    }
    if (!job.finalHeadersDone) {
        return length;  // the body of a response we do not keep
    }
    const std::size_t cap = job.transfer->Request().maxBodyBytes;
    const std::size_t room = cap > job.bodyBytes ? cap - job.bodyBytes : 0;
    const std::size_t taken = std::min(length, room);
    if (taken > 0) {
        job.transfer->AppendBody(data, taken);
        job.bodyBytes += taken;
    }
    if (taken < length) {
        job.stoppedOnPurpose = true;
        return 0;
    }
    return length;
}

}  // namespace quill::platform
