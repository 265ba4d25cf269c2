// A small HTTP/1.1 server on 127.0.0.1 (ephemeral port) for every network test: tests tell it what
// each path answers (pages, files, redirects, raw status lines, and misbehaviour such as silence or
// a half-sent header), then point the code under test at Url(path) and read back what was asked.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quill::test_support {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
    // Sent verbatim, whatever it says ("HTTP/1.1 200 Ok", "HTTP/2 200", ...).
    std::string statusLine = "HTTP/1.1 200 OK";
    HeaderList headers;
    // Content-Length is added with the body's size unless `headers` has one. HEAD gets no body.
    std::string body;
};

struct RecordedRequest {
    int sequence = 0;    // 0, 1, 2... in the order the server read the requests
    int connection = 0;  // 0, 1, 2... in the order the connections were accepted
    std::string method;
    std::string target;   // as sent: path and query
    std::string version;  // "HTTP/1.1"
    HeaderList headers;

    // The value of the first header of that name (letter case ignored); "" when absent.
    std::string HeaderValue(const std::string& name) const;
};

class LoopbackHttpServer {
  public:
    // Listens at once; throws std::runtime_error when it cannot.
    LoopbackHttpServer();
    // Prompt even with hung or half-answered connections: every socket is shut and every thread
    // joined; gates and delays are cut short.
    ~LoopbackHttpServer();

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string Origin() const;
    // Origin() + path; `path` begins with "/" and may hold a query.
    std::string Url(const std::string& path) const;

    // --- what paths answer; a later call for the same path replaces the earlier one ---
    // Paths match the request target exactly, or else the target without its query.
    // Every path not set up answers "HTTP/1.1 404 Not Found" with a small HTML body.
    void Serve(const std::string& path, HttpResponse response);
    // The given status line verbatim, with a short text/plain body.
    void ServeStatusLine(const std::string& path, const std::string& statusLine);
    // "HTTP/1.1 200 OK", Content-Type "text/html; charset=utf-8".
    void ServePage(const std::string& path, const std::string& html);
    void ServeFile(const std::string& path, const std::string& contentType,
                   const std::string& body);
    // "HTTP/1.1 <code> <reason>" with a Location header (absolute or relative, as given).
    void ServeRedirect(const std::string& path, const std::string& location, int code = 301);
    // ServePage for every path => html.
    void ServeSite(const std::map<std::string, std::string>& pages);
    // `bytes` are written exactly as given, then the connection is closed.
    void ServeRaw(const std::string& path, const std::string& bytes);
    // The request is read and never answered; the connection stays open until the client gives
    // up or the server is destroyed.
    void ServeNoReply(const std::string& path);
    // Part of a header block ("HTTP/1.1 200 OK\r\nContent-Ty"), then the connection is closed.
    void ServeClosedMidHeader(const std::string& path);
    // The response goes out after `delay` (cut short when the server is destroyed).
    void ServeDelayed(const std::string& path, HttpResponse response,
                      std::chrono::milliseconds delay);
    // The response goes out once Release(path) is called (at once when it was released before).
    void ServeWhenReleased(const std::string& path, HttpResponse response);
    // Requests with this method get `response`; others get what the path answers otherwise.
    void ServeFor(const std::string& method, const std::string& path, HttpResponse response);
    // The first request gets the first response, the next the second...; the last one repeats.
    void ServeInTurn(const std::string& path, std::vector<HttpResponse> responses);
    // Status line, headers (Content-Length of both parts) and `firstPart` go out at once;
    // `secondPart` waits until Release(path). Releasing before the request lets it through at once.
    void ServeInTwoParts(const std::string& path, const std::string& contentType,
                         const std::string& firstPart, const std::string& secondPart);
    void Release(const std::string& path);
    // The path answers 404 again.
    void Remove(const std::string& path);

    // --- what was asked ---
    std::vector<RecordedRequest> Requests() const;
    int RequestCount() const;
    // Requests whose target is exactly `target`.
    int RequestCount(const std::string& target) const;
    int RequestCount(const std::string& method, const std::string& target) const;
    // Connections accepted so far, and those still open (not yet closed by either side).
    int ConnectionCount() const;
    int OpenConnectionCount() const;
    // Block until that many requests (in all, or for one target) have been read; false when
    // `timeout` passed first.
    bool WaitForRequests(int count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    bool WaitForRequest(const std::string& target, int count = 1,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Blocks until no more than `count` connections are open; false when `timeout` passed first.
    bool WaitForOpenConnectionsAtMost(
        int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  private:
    struct Route;

    void AcceptLoop();
    void ServeConnection(int fd, int connectionId);
    void SetRoute(const std::string& path, Route route);
    // Takes the turn of a route that answers in turn.
    Route FindRoute(const std::string& method, const std::string& target);
    bool WaitUntilStoppedOr(std::chrono::milliseconds delay);
    // False when the server stopped first.
    bool WaitForGate(const std::string& path);

    int listenFd_ = -1;
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    // By path, or by "METHOD path" for a route of one method.
    std::map<std::string, std::shared_ptr<const Route>> routes_;
    // Requests answered so far by each route that answers in turn.
    std::map<std::string, std::size_t> turnsTaken_;
    // Paths whose second part may go; ServeInTwoParts closes the gate again.
    std::set<std::string> released_;
    std::vector<RecordedRequest> requests_;
    int connections_ = 0;
    std::vector<int> openFds_;
    std::vector<std::thread> connectionThreads_;

    std::thread acceptThread_;
};

// A loopback port that accepts connections and never answers, nor even reads: the kernel completes
// each connection and the request waits for ever.
class SilentPort {
  public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    std::string Url(const std::string& path = "/") const;

  private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port where nothing listens: bound, so no one else takes it, but never listening, so
// every connection to it is refused.
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::string Url(const std::string& path = "/") const;

  private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace quill::test_support
