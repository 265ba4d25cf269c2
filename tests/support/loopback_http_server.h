// A small HTTP/1.1 server on 127.0.0.1 (ephemeral port) for every network test: tests tell it what
// each path answers (pages, files, redirects, raw bytes, silence, replies held until released),
// then point the code under test at Url(path) and read back what was asked.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quill::test_support {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
    std::string statusLine = "HTTP/1.1 200 OK";  // sent verbatim
    HeaderList headers;
    std::string body;  // Content-Length is added unless `headers` has one; HEAD gets no body
};

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query, as sent
    HeaderList headers;

    // The first header of that name (letter case ignored); "" when absent.
    std::string HeaderValue(const std::string& name) const;
};

class LoopbackHttpServer {
  public:
    // Listens at once; throws std::runtime_error when it cannot. The destructor is prompt even
    // with hung connections: every socket is shut, every gate opened, every thread joined.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& path) const { return Origin() + path; }

    // A path matches the target or the target without its query; a later call replaces an earlier
    // one. Paths not set up answer "HTTP/1.1 404 Not Found".
    void Serve(const std::string& path, HttpResponse response) {
        SetRoute(path, path, Route{Route::Kind::Reply, std::move(response)});
    }
    void ServeStatusLine(const std::string& path, const std::string& statusLine) {
        Serve(path, HttpResponse{statusLine, {{"Content-Type", "text/plain"}}, "status\n"});
    }
    void ServeFile(const std::string& path, const std::string& contentType,
                   const std::string& body) {
        Serve(path, HttpResponse{"HTTP/1.1 200 OK", {{"Content-Type", contentType}}, body});
    }
    void ServePage(const std::string& path, const std::string& html) {
        ServeFile(path, "text/html; charset=utf-8", html);
    }
    void ServeRedirect(const std::string& path, const std::string& location, int code = 301);
    // `bytes` exactly as given, then the connection is closed.
    void ServeRaw(const std::string& path, const std::string& bytes) {
        SetRoute(path, path, Route{Route::Kind::Raw, {}, bytes});
    }
    // The request is read and never answered.
    void ServeNoReply(const std::string& path) {
        SetRoute(path, path, Route{Route::Kind::NoReply});
    }
    // The response goes out once Release(path) is called (at once when released before).
    void ServeWhenReleased(const std::string& path, HttpResponse response) {
        SetRoute(path, path, Route{Route::Kind::Held, std::move(response)});
    }
    // Requests with this method get `response`; others get what the path answers otherwise.
    void ServeFor(const std::string& method, const std::string& path, HttpResponse response) {
        SetRoute(method + " " + path, path, Route{Route::Kind::Reply, std::move(response)});
    }
    // Headers (Content-Length of both parts) and `firstPart` go out at once, `secondPart` once
    // Release(path) is called.
    void ServeInTwoParts(const std::string& path, const std::string& contentType,
                         const std::string& firstPart, const std::string& secondPart);
    void Release(const std::string& path) {
        Locked([&] { released_.insert(path); });
        changed_.notify_all();
    }

    std::vector<RecordedRequest> Requests() const {
        return Locked([&] { return requests_; });
    }
    // Requests in all, for one target, or for one method and target.
    int RequestCount() const { return RequestCount("", ""); }
    int RequestCount(const std::string& target) const { return RequestCount("", target); }
    int RequestCount(const std::string& method, const std::string& target) const {
        return Locked([&] { return CountOf(method, target); });
    }
    // Block until enough requests were read or few enough connections are open; false after ten
    // seconds.
    bool WaitForRequest(const std::string& target, int count = 1) const {
        return WaitUntil(std::chrono::seconds(10), [&] { return CountOf("", target) >= count; });
    }
    bool WaitForOpenConnectionsAtMost(int count) const {
        return WaitUntil(std::chrono::seconds(10),
                         [&] { return static_cast<int>(openFds_.size()) <= count; });
    }

  private:
    struct Route {
        enum class Kind { Reply, Raw, NoReply, Held, TwoParts };
        Kind kind;
        HttpResponse response = {};
        std::string extra = {};  // the bytes of a Raw route, the second part of a TwoParts one
        std::string path = {};   // names the gate of a held or two-part route
    };

    void AcceptLoop();
    void ServeConnection(int fd);
    void SetRoute(const std::string& key, const std::string& path, Route route);
    Route FindRoute(const std::string& method, const std::string& target);
    bool WaitForGate(const std::string& path) {  // false when the server stopped first
        WaitUntil(std::chrono::hours(24), [&] { return stopping_ || released_.count(path); });
        return Locked([&] { return !stopping_; });
    }
    // The requests of that method and target (empty: any); call with the lock held.
    int CountOf(const std::string& method, const std::string& target) const {
        return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](auto& r) {
            return (method.empty() || r.method == method) && (target.empty() || r.target == target);
        }));
    }
    template <class F>
    auto Locked(F f) const -> decltype(f()) {
        std::lock_guard lock(mutex_);
        return f();
    }
    template <class F>
    bool WaitUntil(std::chrono::milliseconds timeout, F f) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, f);
    }

    int listenFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    // By path, or by "METHOD path" for a route of one method.
    std::map<std::string, Route> routes_;
    std::set<std::string> released_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> openFds_;
    std::vector<std::thread> connectionThreads_;
    std::thread acceptThread_;
};

// A loopback port no server answers on: bound so no one else takes it.
class ReservedPort {
  public:
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  protected:
    explicit ReservedPort(bool listen);
    ~ReservedPort();

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Accepts connections (the kernel completes them) and never reads nor answers.
struct SilentPort : ReservedPort {
    SilentPort() : ReservedPort(true) {}
};

// Never listens, so every connection to it is refused.
struct RefusingPort : ReservedPort {
    RefusingPort() : ReservedPort(false) {}
};

}  // namespace quill::test_support
