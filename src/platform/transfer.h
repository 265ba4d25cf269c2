// One HTTP request in flight or done, as the transfer engine fills it in from its worker thread.
// Readers on any thread see consistent snapshots; a request can be cancelled or waited for.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/wait.h"

namespace quill::platform {

struct TransferRequest {
    std::string url;
    std::string method = "GET";  // "HEAD" or "GET"
    // Page loads follow redirects as a browser does; probes never do.
    bool followRedirects = false;
    int maxRedirects = 10;
    long timeoutSeconds = 60;
    // The body is cut here and the request ends as complete; 0 ends it with the final headers.
    std::size_t maxBodyBytes = std::size_t{32} * 1024 * 1024;
    // When set, a final response that is not HTML ends the request after its headers.
    bool htmlBodyOnly = false;
};

class Transfer {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit Transfer(TransferRequest request);

    const TransferRequest& Request() const { return request_; }

    // --- read side (any thread) ---
    bool Finished() const;
    // The final response's header block is complete: redirects are behind us.
    bool HeadersReceived() const;
    // Raw header block of the last response, status line first, CR LF line ends as received;
    // "" when there was no response.
    std::string Header() const;
    int Status() const;  // 0 when there was no response
    // Address of the last response (after redirects); the request's URL until then.
    std::string EffectiveURL() const;
    std::string ContentType() const;  // "" when absent
    std::optional<long long> ContentLength() const;
    std::string Body() const;  // what has arrived so far
    std::size_t BodySize() const;
    // Why the request failed, in words a webmaster understands ("connection refused", "timed out
    // after 60 s", "could not resolve host", "TLS: certificate has expired"...); "" when it did
    // not.
    std::string Error() const;
    // From the start of the request to its end, or to now while it runs.
    std::chrono::steady_clock::duration Duration() const;

    // Blocks until the request has finished; for tests and for threads other than the crawl's.
    void WaitFinished() const;
    // Blocks until the final headers have arrived or the request has finished.
    void WaitHeadersOrFinished() const;
    // Blocks until at least `bytes` of the body have arrived or the request has finished.
    void WaitBodyOrFinished(std::size_t bytes) const;

    // Asks the engine to drop the request; it then finishes with an error "cancelled".
    void Cancel();
    bool CancelRequested() const;

    // Runs `callback` once, when the request has finished: at once on this thread when it has
    // already, otherwise on the thread that finishes it, right after. It must not block, and it
    // must not hold the transfer itself (that would keep it alive until it finishes).
    void WhenFinished(std::function<void()> callback);

    // --- write side (the engine, or a fake engine in tests) ---
    void MarkStarted(TimePoint when);
    // Called (outside the lock) on every Cancel(), so the engine can wake up and drop the request.
    void SetCancelHook(std::function<void()> hook);
    // A new response begins (a redirect hop or the final one): forget the previous header block.
    // Lines are passed as received, line end included.
    void BeginResponse(const std::string& statusLine);
    void AppendHeaderLine(const std::string& line);
    // The header block of a response is complete; `final` when no redirect follows.
    void EndHeaders(int status, const std::string& effectiveUrl, const std::string& contentType,
                    std::optional<long long> contentLength, bool final);
    void AppendBody(const char* data, std::size_t size);
    // Ends the request; later calls are ignored. A request that fails before the header block of
    // its last response was complete keeps no header: a half-received response is no response.
    void Finish(TimePoint when, const std::string& error = "");
    // Ends the request with the outcome of another, finished one, for a transfer that stands in
    // for it: its last response (header block, status, address, type, length, body), its error and
    // its start and end. Ignored when this one has finished already.
    void FinishAsCopyOf(const Transfer& source);

  private:
    friend class PackedTransfer;

    const TransferRequest request_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool finished_ = false;
    bool headersReceived_ = false;
    bool cancelRequested_ = false;
    std::function<void()> cancelHook_;
    // The header block in header_ has ended with its blank line.
    bool headerComplete_ = false;
    std::string header_;
    int status_ = 0;
    std::string effectiveUrl_;
    std::string contentType_;
    std::optional<long long> contentLength_;
    std::string body_;
    std::string error_;
    std::optional<TimePoint> started_;
    std::optional<TimePoint> ended_;
    std::vector<std::function<void()>> finishedCallbacks_;
};

// Marked done when the transfer finishes (at once when it has); a wait can end on it.
std::shared_ptr<Completion> CompletionOf(Transfer& transfer);

// The code with its standard reason phrase ("404 Not Found"); the code alone when it has none.
std::string StatusText(int status);

// The code in the status line of a raw header block ("HTTP/<version> <code>..."); 0 for none.
int StatusCodeOf(const std::string& headerBlock);

// The value of the last field named `name` (letter case ignored) in a raw header block, without
// the blanks around it; "" when there is none.
std::string HeaderField(const std::string& headerBlock, const std::string& name);
// The wait a 429 or 503 answer asks for, from its Retry-After in seconds or as an HTTP date: at
// most `longest`; 1 when the header is absent or unreadable, 0 for a date that has passed.
int RetryAfterSeconds(const std::string& headerBlock, int longest);

}  // namespace quill::platform
