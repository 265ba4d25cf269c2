#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace quill::test_support {
namespace {

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string FindHeader(const HeaderList& headers, const std::string& name) {
    const std::string wanted = ToLower(name);
    for (const auto& [key, value] : headers) {
        if (ToLower(key) == wanted) {
            return value;
        }
    }
    return "";
}

bool HasHeader(const HeaderList& headers, const std::string& name) {
    const std::string wanted = ToLower(name);
    return std::any_of(headers.begin(), headers.end(),
                       [&wanted](const auto& header) { return ToLower(header.first) == wanted; });
}

std::string ReasonPhrase(int code) {
    switch (code) {
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 307:
            return "Temporary Redirect";
        case 308:
            return "Permanent Redirect";
        default:
            return "Redirect";
    }
}

// Status line and headers of `response`, blank line included; Content-Length is `bodySize`
// unless the response states its own.
std::string HeadOf(const HttpResponse& response, std::size_t bodySize) {
    std::string head = response.statusLine + "\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    if (!HasHeader(response.headers, "Content-Length")) {
        head += "Content-Length: " + std::to_string(bodySize) + "\r\n";
    }
    return head + "\r\n";
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

struct ParsedRequest {
    std::string method;
    std::string target;
    std::string version;
    HeaderList headers;
};

bool ParseHead(const std::string& head, ParsedRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) {
        return false;
    }
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.version = requestLine.substr(secondSpace + 1);
    while (lineEnd != std::string::npos && lineEnd + 2 < head.size()) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        if (line.empty()) {
            break;
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        }
    }
    return true;
}

}  // namespace

std::string RecordedRequest::HeaderValue(const std::string& name) const {
    return FindHeader(headers, name);
}

struct LoopbackHttpServer::Route {
    enum class Kind { Reply, Raw, NoReply, ClosedMidHeader, Delayed, TwoParts, Held };
    Kind kind = Kind::Reply;
    std::string path;  // as set up; names the gate of a two-part route
    HttpResponse response;
    std::string raw;
    std::string secondPart;
    std::chrono::milliseconds delay{0};
    // When set, the responses given in turn; `response` is the one for this request.
    std::vector<HttpResponse> turns;
};

LoopbackHttpServer::LoopbackHttpServer() {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("loopback server: no pipe");
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 128) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listenFd_ >= 0) {
            ::close(listenFd_);
        }
        ::close(stopPipe_[0]);
        ::close(stopPipe_[1]);
        throw std::runtime_error("loopback server: cannot listen");
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread(&LoopbackHttpServer::AcceptLoop, this);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : openFds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    changed_.notify_all();
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &stop, 1);
    acceptThread_.join();
    // No thread is added once the accept loop has ended.
    for (std::thread& thread : connectionThreads_) {
        thread.join();
    }
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string LoopbackHttpServer::Origin() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return Origin() + path;
}

void LoopbackHttpServer::SetRoute(const std::string& path, Route route) {
    route.path = path;
    std::lock_guard lock(mutex_);
    routes_[path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response) {
    Route route;
    route.response = std::move(response);
    SetRoute(path, std::move(route));
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

void LoopbackHttpServer::ServeRedirect(const std::string& path, const std::string& location,
                                       int code) {
    Serve(path, HttpResponse{"HTTP/1.1 " + std::to_string(code) + " " + ReasonPhrase(code),
                             {{"Location", location}, {"Content-Type", "text/html"}},
                             "<html><body>moved</body></html>"});
}

void LoopbackHttpServer::ServeSite(const std::map<std::string, std::string>& pages) {
    for (const auto& [path, html] : pages) {
        ServePage(path, html);
    }
}

void LoopbackHttpServer::ServeRaw(const std::string& path, const std::string& bytes) {
    Route route;
    route.kind = Route::Kind::Raw;
    route.raw = bytes;
    SetRoute(path, std::move(route));
}

void LoopbackHttpServer::ServeNoReply(const std::string& path) {
    Route route;
    route.kind = Route::Kind::NoReply;
    SetRoute(path, std::move(route));
}

void LoopbackHttpServer::ServeClosedMidHeader(const std::string& path) {
    Route route;
    route.kind = Route::Kind::ClosedMidHeader;
    route.raw = "HTTP/1.1 200 OK\r\nContent-Ty";
    SetRoute(path, std::move(route));
}

void LoopbackHttpServer::ServeDelayed(const std::string& path, HttpResponse response,
                                      std::chrono::milliseconds delay) {
    Route route;
    route.kind = Route::Kind::Delayed;
    route.response = std::move(response);
    route.delay = delay;
    SetRoute(path, std::move(route));
}

void LoopbackHttpServer::ServeInTwoParts(const std::string& path, const std::string& contentType,
                                         const std::string& firstPart,
                                         const std::string& secondPart) {
    Route route;
    route.kind = Route::Kind::TwoParts;
    route.response = HttpResponse{"HTTP/1.1 200 OK", {{"Content-Type", contentType}}, firstPart};
    route.secondPart = secondPart;
    route.path = path;
    std::lock_guard lock(mutex_);
    released_.erase(path);
    routes_[path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::ServeWhenReleased(const std::string& path, HttpResponse response) {
    Route route;
    route.kind = Route::Kind::Held;
    route.response = std::move(response);
    route.path = path;
    std::lock_guard lock(mutex_);
    released_.erase(path);
    routes_[path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::ServeFor(const std::string& method, const std::string& path,
                                  HttpResponse response) {
    Route route;
    route.response = std::move(response);
    route.path = path;
    std::lock_guard lock(mutex_);
    routes_[method + " " + path] = std::make_shared<const Route>(std::move(route));
}

void LoopbackHttpServer::ServeInTurn(const std::string& path, std::vector<HttpResponse> responses) {
    Route route;
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
    Route notFound;
    notFound.response = HttpResponse{"HTTP/1.1 404 Not Found",
                                     {{"Content-Type", "text/html"}},
                                     "<html><body>Not Found</body></html>"};
    return notFound;
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int LoopbackHttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
}

int LoopbackHttpServer::RequestCount(const std::string& target) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [&](const auto& r) { return r.target == target; }));
}

int LoopbackHttpServer::RequestCount(const std::string& method, const std::string& target) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](const auto& r) {
        return r.method == method && r.target == target;
    }));
}

int LoopbackHttpServer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool LoopbackHttpServer::WaitForRequests(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return static_cast<int>(requests_.size()) >= count; });
}

bool LoopbackHttpServer::WaitForRequest(const std::string& target, int count,
                                        std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return std::count_if(requests_.begin(), requests_.end(),
                             [&](const auto& r) { return r.target == target; }) >= count;
    });
}

int LoopbackHttpServer::OpenConnectionCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(openFds_.size());
}

bool LoopbackHttpServer::WaitForOpenConnectionsAtMost(int count,
                                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return static_cast<int>(openFds_.size()) <= count; });
}

bool LoopbackHttpServer::WaitUntilStoppedOr(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [this] { return stopping_; });
}

bool LoopbackHttpServer::WaitForGate(const std::string& path) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || released_.count(path) > 0; });
    return !stopping_;
}

void LoopbackHttpServer::AcceptLoop() {
    for (;;) {
        pollfd watched[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        const int id = connections_++;
        openFds_.push_back(fd);
        connectionThreads_.emplace_back(&LoopbackHttpServer::ServeConnection, this, fd, id);
    }
}

void LoopbackHttpServer::ServeConnection(int fd, int connectionId) {
    std::string buffer;
    // Reads more bytes into `buffer`; false at the peer's end, an error or shutdown.
    auto readMore = [&]() {
        pollfd watched[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        for (;;) {
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (watched[1].revents != 0) {
                return false;
            }
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
    };

    bool open = true;
    while (open) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!readMore()) {
                open = false;
                break;
            }
        }
        if (!open) {
            break;
        }
        ParsedRequest parsed;
        const std::string head = buffer.substr(0, headEnd + 2);
        buffer.erase(0, headEnd + 4);
        if (!ParseHead(head, parsed)) {
            SendAll(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            break;
        }
        const std::string length = FindHeader(parsed.headers, "Content-Length");
        const std::size_t bodySize = length.empty() ? 0 : std::stoul(length);
        while (buffer.size() < bodySize && open) {
            open = readMore();
        }
        if (!open) {
            break;
        }
        buffer.erase(0, bodySize);

        {
            std::lock_guard lock(mutex_);
            RecordedRequest record;
            record.sequence = static_cast<int>(requests_.size());
            record.connection = connectionId;
            record.method = parsed.method;
            record.target = parsed.target;
            record.version = parsed.version;
            record.headers = parsed.headers;
            requests_.push_back(std::move(record));
        }
        changed_.notify_all();

        const Route route = FindRoute(parsed.method, parsed.target);
        const bool head_only = parsed.method == "HEAD";
        const std::string connectionHeader = ToLower(FindHeader(parsed.headers, "Connection"));
        bool keepAlive = parsed.version == "HTTP/1.1" ? connectionHeader != "close"
                                                      : connectionHeader == "keep-alive";
        keepAlive = keepAlive && route.response.statusLine.rfind("HTTP/1.0", 0) != 0 &&
                    ToLower(FindHeader(route.response.headers, "Connection")) != "close";

        switch (route.kind) {
            case Route::Kind::Raw:
            case Route::Kind::ClosedMidHeader:
                SendAll(fd, route.raw);
                open = false;
                break;
            case Route::Kind::NoReply:
                while (readMore()) {
                    buffer.clear();
                }
                open = false;
                break;
            case Route::Kind::Delayed:
                if (!WaitUntilStoppedOr(route.delay)) {
                    open = false;
                    break;
                }
                [[fallthrough]];
            case Route::Kind::Held:
                if (route.kind == Route::Kind::Held && !WaitForGate(route.path)) {
                    open = false;
                    break;
                }
                [[fallthrough]];
            case Route::Kind::Reply: {
                const std::string& body = route.response.body;
                std::string bytes = HeadOf(route.response, body.size());
                if (!head_only) {
                    bytes += body;
                }
                open = SendAll(fd, bytes) && keepAlive;
                break;
            }
            case Route::Kind::TwoParts: {
                const std::size_t total = route.response.body.size() + route.secondPart.size();
                std::string bytes = HeadOf(route.response, total);
                if (head_only) {
                    open = SendAll(fd, bytes) && keepAlive;
                    break;
                }
                bytes += route.response.body;
                open = SendAll(fd, bytes) && WaitForGate(route.path) &&
                       SendAll(fd, route.secondPart) && keepAlive;
                break;
            }
        }
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
