#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "platform/ascii.h"

namespace quill::test_support {
namespace {

using platform::EqualsNoCase;

std::string FindHeader(const HeaderList& headers, const std::string& name) {
    const auto found = std::find_if(headers.begin(), headers.end(), [&name](const auto& header) {
        return EqualsNoCase(header.first, name);
    });
    return found == headers.end() ? "" : found->second;
}

// Status line and headers, blank line included; Content-Length is `bodySize` unless stated.
std::string HeadOf(const HttpResponse& response, std::size_t bodySize) {
    std::string head = response.statusLine + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
        hasLength = hasLength || EqualsNoCase(name, "Content-Length");
    }
    if (!hasLength) {
        head += "Content-Length: " + std::to_string(bodySize) + "\r\n";
    }
    return head + "\r\n";
}

bool SendAll(int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0 && !(n < 0 && errno == EINTR)) {
            return false;
        }
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
}

// The request line and headers of `head` (which ends with one CRLF); false when malformed.
bool ParseHead(const std::string& head, RecordedRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        return false;
    }
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, second - first - 1);
    request.version = line.substr(second + 1);
    for (std::size_t start = lineEnd + 2; start < head.size(); start = lineEnd + 2) {
        lineEnd = head.find("\r\n", start);
        const std::string header = head.substr(start, lineEnd - start);
        if (const std::size_t colon = header.find(':'); colon != std::string::npos) {
            request.headers.emplace_back(platform::Trim(header.substr(0, colon)),
                                         platform::Trim(header.substr(colon + 1)));
        }
    }
    return true;
}

// Requests of that method and target; an empty one stands for any.
int CountOf(const std::vector<RecordedRequest>& requests, const std::string& method,
            const std::string& target) {
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
        return (method.empty() || r.method == method) && (target.empty() || r.target == target);
    }));
}

}  // namespace

std::string RecordedRequest::HeaderValue(const std::string& name) const {
    return FindHeader(headers, name);
}

struct LoopbackHttpServer::Route {
    enum class Kind { Reply, Raw, NoReply };
    Route(Kind kind, HttpResponse response = {}, std::string raw = "",
          std::chrono::milliseconds delay = {}, std::optional<std::string> secondPart = {})
        : kind(kind),
          response(std::move(response)),
          raw(std::move(raw)),
          delay(delay),
          secondPart(std::move(secondPart)) {}
    Kind kind;
    HttpResponse response;
    std::string raw;  // what a Raw route writes before it closes
    std::chrono::milliseconds delay;
    // A two-part reply: the rest of the body, held until the path is released.
    std::optional<std::string> secondPart;
    std::string path;  // as set up; names the gate of a two-part or held route
    // A held reply goes out only once its path is released.
    bool held = false;
    // When set, the responses given in turn; `response` is the one for this request.
    std::vector<HttpResponse> turns;
};

LoopbackHttpServer::LoopbackHttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 128) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("loopback server: cannot listen");
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread(&LoopbackHttpServer::AcceptLoop, this);
}

// Shutting a socket down wakes whatever blocks on it: accept() and recv() return at once.
LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : openFds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    changed_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    // No thread is added once the accept loop has ended.
    for (std::thread& thread : connectionThreads_) {
        thread.join();
    }
    ::close(listenFd_);
}

void LoopbackHttpServer::SetRoute(const std::string& path, Route route) {
    route.path = path;
    std::lock_guard lock(mutex_);
    released_.erase(path);
    routes_[path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response) {
    SetRoute(path, Route{Route::Kind::Reply, std::move(response)});
}

void LoopbackHttpServer::ServeRedirect(const std::string& path, const std::string& location,
                                       int code) {
    const std::map<int, std::string> reasons = {{301, "Moved Permanently"},
                                                {302, "Found"},
                                                {303, "See Other"},
                                                {307, "Temporary Redirect"},
                                                {308, "Permanent Redirect"}};
    Serve(path, HttpResponse{"HTTP/1.1 " + std::to_string(code) + " " +
                                 (reasons.count(code) > 0 ? reasons.at(code) : "Redirect"),
                             {{"Location", location}, {"Content-Type", "text/html"}},
                             "<html><body>moved</body></html>"});
}

void LoopbackHttpServer::ServeRaw(const std::string& path, const std::string& bytes) {
    SetRoute(path, Route{Route::Kind::Raw, {}, bytes});
}

void LoopbackHttpServer::ServeNoReply(const std::string& path) {
    SetRoute(path, Route{Route::Kind::NoReply});
}

void LoopbackHttpServer::ServeDelayed(const std::string& path, HttpResponse response,
                                      std::chrono::milliseconds delay) {
    SetRoute(path, Route{Route::Kind::Reply, std::move(response), "", delay});
}

void LoopbackHttpServer::ServeInTwoParts(const std::string& path, const std::string& contentType,
                                         const std::string& firstPart,
                                         const std::string& secondPart) {
    SetRoute(path,
             Route{Route::Kind::Reply,
                   HttpResponse{"HTTP/1.1 200 OK", {{"Content-Type", contentType}}, firstPart}, "",
                   std::chrono::milliseconds(0), secondPart});
}

void LoopbackHttpServer::ServeWhenReleased(const std::string& path, HttpResponse response) {
    Route route{Route::Kind::Reply, std::move(response)};
    route.held = true;
    SetRoute(path, std::move(route));
}

void LoopbackHttpServer::ServeFor(const std::string& method, const std::string& path,
                                  HttpResponse response) {
    Route route{Route::Kind::Reply, std::move(response)};
    route.path = path;
    std::lock_guard lock(mutex_);
    routes_[method + " " + path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::ServeInTurn(const std::string& path, std::vector<HttpResponse> responses) {
    Route route{Route::Kind::Reply};
    route.turns = std::move(responses);
    SetRoute(path, std::move(route));
    std::lock_guard lock(mutex_);
    turnsTaken_[path] = 0;
}

void LoopbackHttpServer::Release(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        released_.insert(path);
    }
    changed_.notify_all();
}

void LoopbackHttpServer::Remove(const std::string& path) {
    std::lock_guard lock(mutex_);
    routes_.erase(path);
}

LoopbackHttpServer::Route LoopbackHttpServer::FindRoute(const std::string& method,
                                                        const std::string& target) {
    std::lock_guard lock(mutex_);
    const std::string path = target.substr(0, target.find('?'));
    for (const std::string& key : {method + " " + target, method + " " + path, target, path}) {
        const auto found = routes_.find(key);
        if (found == routes_.end()) {
            continue;
        }
        Route route = *found->second;
        if (!route.turns.empty()) {
            std::size_t& taken = turnsTaken_[route.path];
            route.response = route.turns[std::min(taken, route.turns.size() - 1)];
            ++taken;
        }
        return route;
    }
    return Route{Route::Kind::Reply, HttpResponse{"HTTP/1.1 404 Not Found",
                                                  {{"Content-Type", "text/html"}},
                                                  "<html><body>Not Found</body></html>"}};
}

std::string LoopbackHttpServer::Origin() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return Origin() + path;
}

void LoopbackHttpServer::ServeStatusLine(const std::string& path, const std::string& statusLine) {
    Serve(path, HttpResponse{statusLine, {{"Content-Type", "text/plain"}}, "status\n"});
}

void LoopbackHttpServer::ServePage(const std::string& path, const std::string& html) {
    ServeFile(path, "text/html; charset=utf-8", html);
}

void LoopbackHttpServer::ServeFile(const std::string& path, const std::string& contentType,
                                   const std::string& body) {
    Serve(path, HttpResponse{"HTTP/1.1 200 OK", {{"Content-Type", contentType}}, body});
}

void LoopbackHttpServer::ServeSite(const std::map<std::string, std::string>& pages) {
    for (const auto& [path, html] : pages) {
        ServePage(path, html);
    }
}

void LoopbackHttpServer::ServeClosedMidHeader(const std::string& path) {
    ServeRaw(path, "HTTP/1.1 200 OK\r\nContent-Ty");
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int LoopbackHttpServer::RequestCount() const {
    return RequestCount("", "");
}

int LoopbackHttpServer::RequestCount(const std::string& target) const {
    return RequestCount("", target);
}

int LoopbackHttpServer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

int LoopbackHttpServer::OpenConnectionCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(openFds_.size());
}

bool LoopbackHttpServer::WaitForRequests(int count, std::chrono::milliseconds timeout) const {
    return WaitForRequest("", count, timeout);
}

bool LoopbackHttpServer::WaitForRequest(const std::string& target, int count,
                                        std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return CountOf(requests_, "", target) >= count; });
}

bool LoopbackHttpServer::WaitForOpenConnectionsAtMost(int count,
                                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return static_cast<int>(openFds_.size()) <= count; });
}

// False when the server stopped first.
bool LoopbackHttpServer::WaitUntilStoppedOr(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [this] { return stopping_; });
}

bool LoopbackHttpServer::WaitForGate(const std::string& path) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || released_.count(path) > 0; });
    return !stopping_;
}

int LoopbackHttpServer::RequestCount(const std::string& method, const std::string& target) const {
    std::lock_guard lock(mutex_);
    return CountOf(requests_, method, target);
}

void LoopbackHttpServer::AcceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            if (fd >= 0) {
                ::close(fd);
            }
            return;
        }
        if (fd >= 0) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            openFds_.push_back(fd);
            connectionThreads_.emplace_back(&LoopbackHttpServer::ServeConnection, this, fd,
                                            connections_++);
        }
    }
}

void LoopbackHttpServer::ServeConnection(int fd, int connectionId) {
    std::string buffer;
    // Reads more bytes into `buffer`; false at the peer's end, an error or shutdown.
    const auto readMore = [&] {
        char chunk[4096];
        ssize_t n;
        while ((n = ::recv(fd, chunk, sizeof(chunk), 0)) < 0 && errno == EINTR) {
        }
        buffer.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return n > 0;
    };

    for (bool open = true; open;) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos && (open = readMore())) {
        }
        RecordedRequest request;
        if (!open) {
            break;
        }
        if (!ParseHead(buffer.substr(0, headEnd + 2), request)) {
            SendAll(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            break;
        }
        buffer.erase(0, headEnd + 4);
        const std::string length = FindHeader(request.headers, "Content-Length");
        const std::size_t bodySize = length.empty() ? 0 : std::stoul(length);
        while (buffer.size() < bodySize && (open = readMore())) {
        }
        if (!open) {
            break;
        }
        buffer.erase(0, bodySize);
        {
            std::lock_guard lock(mutex_);
            request.sequence = static_cast<int>(requests_.size());
            request.connection = connectionId;
            requests_.push_back(request);
        }
        changed_.notify_all();

        const Route route = FindRoute(request.method, request.target);
        const std::string asked = FindHeader(request.headers, "Connection");
        const bool keepAlive =
            (request.version == "HTTP/1.1" ? !EqualsNoCase(asked, "close")
                                           : EqualsNoCase(asked, "keep-alive")) &&
            route.response.statusLine.rfind("HTTP/1.0", 0) != 0 &&
            !EqualsNoCase(FindHeader(route.response.headers, "Connection"), "close");
        if (route.kind == Route::Kind::Raw) {
            SendAll(fd, route.raw);
            break;
        }
        if (route.kind == Route::Kind::NoReply) {
            while (readMore()) {
                buffer.clear();
            }
            break;
        }
        if ((route.delay.count() > 0 && !WaitUntilStoppedOr(route.delay)) ||
            (route.held && !WaitForGate(route.path))) {
            break;
        }
        const std::string& body = route.response.body;
        const std::string rest = route.secondPart.value_or("");
        const bool headOnly = request.method == "HEAD";
        open = SendAll(fd, HeadOf(route.response, body.size() + rest.size()) +
                               (headOnly ? "" : body)) &&
               (headOnly || !route.secondPart || (WaitForGate(route.path) && SendAll(fd, rest))) &&
               keepAlive;
    }

    {
        std::lock_guard lock(mutex_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::close(fd);
    }
    changed_.notify_all();
}

SilentPort::SilentPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd_, 128) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot open a silent loopback port");
    }
    port_ = ntohs(address.sin_port);
}

SilentPort::~SilentPort() {
    ::close(fd_);
}

std::string SilentPort::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

RefusingPort::RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot reserve a loopback port");
    }
    port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    ::close(fd_);
}

std::string RefusingPort::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace quill::test_support
