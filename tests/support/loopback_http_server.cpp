#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "platform/ascii.h"

namespace quill::test_support {
namespace {

using platform::EqualsNoCase;

std::string FindHeader(const HeaderList& headers, const std::string& name) {
    const auto found = std::find_if(headers.begin(), headers.end(),
                                    [&name](const auto& h) { return EqualsNoCase(h.first, name); });
    return found == headers.end() ? "" : found->second;
}

// Binds `fd` to an ephemeral loopback port (listening when asked) and returns the port.
int BindLoopback(int fd, bool listen) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        (listen && ::listen(fd, 128) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot open a loopback port");
    }
    return ntohs(address.sin_port);
}

// A blocking send returns only once every byte is out or the connection failed.
bool SendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

// The request line and headers of `head`; false when malformed.
bool ParseHead(const std::string& head, RecordedRequest& request) {
    std::istringstream in(head);
    std::string line, version;
    if (!std::getline(in, line) ||
        !(std::istringstream(line) >> request.method >> request.target >> version)) {
        return false;
    }
    while (std::getline(in, line)) {
        if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
            request.headers.emplace_back(platform::Trim(line.substr(0, colon)),
                                         platform::Trim(line.substr(colon + 1)));
        }
    }
    return true;
}

}  // namespace

std::string RecordedRequest::HeaderValue(const std::string& name) const {
    return FindHeader(headers, name);
}

LoopbackHttpServer::LoopbackHttpServer()
    : listenFd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      port_(BindLoopback(listenFd_, true)),
      acceptThread_(&LoopbackHttpServer::AcceptLoop, this) {}

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
    for (std::thread& thread : connectionThreads_) {  // none is added once accepting ended
        thread.join();
    }
    ::close(listenFd_);
}

void LoopbackHttpServer::SetRoute(const std::string& key, const std::string& path, Route route) {
    route.path = path;
    std::lock_guard lock(mutex_);
    released_.erase(path);
    routes_.insert_or_assign(key, std::move(route));
}

void LoopbackHttpServer::ServeRedirect(const std::string& path, const std::string& location,
                                       int code) {
    Serve(path, HttpResponse{"HTTP/1.1 " + std::to_string(code) +
                                 (code == 301 ? " Moved Permanently" : " Redirect"),
                             {{"Location", location}, {"Content-Type", "text/html"}},
                             "<html><body>moved</body></html>"});
}

void LoopbackHttpServer::ServeInTwoParts(const std::string& path, const std::string& contentType,
                                         const std::string& firstPart,
                                         const std::string& secondPart) {
    SetRoute(path, path,
             Route{Route::Kind::TwoParts,
                   HttpResponse{"HTTP/1.1 200 OK", {{"Content-Type", contentType}}, firstPart},
                   secondPart});
}

LoopbackHttpServer::Route LoopbackHttpServer::FindRoute(const std::string& method,
                                                        const std::string& target) {
    std::lock_guard lock(mutex_);
    const std::string path = target.substr(0, target.find('?'));
    for (const std::string& key : {method + " " + target, method + " " + path, target, path}) {
        if (const auto found = routes_.find(key); found != routes_.end()) {
            return found->second;
        }
    }
    return Route{Route::Kind::Reply, {"HTTP/1.1 404 Not Found", {}, "Not Found"}};
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
            connectionThreads_.emplace_back(&LoopbackHttpServer::ServeConnection, this, fd);
        }
    }
}

void LoopbackHttpServer::ServeConnection(int fd) {
    std::string buffer;
    // Reads more bytes into `buffer`; false at the peer's end, an error or shutdown.
    const auto readMore = [&] {
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        buffer.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return n > 0;
    };

    for (bool open = true; open;) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos && (open = readMore())) {
        }
        RecordedRequest request;  // requests carry no body: the checker never sends one
        if (!open || !ParseHead(buffer.substr(0, headEnd), request)) {
            break;
        }
        buffer.erase(0, headEnd + 4);
        Locked([&] { requests_.push_back(request); });
        changed_.notify_all();

        const Route route = FindRoute(request.method, request.target);
        if (route.kind == Route::Kind::Raw) {
            SendAll(fd, route.extra);
            break;
        }
        if (route.kind == Route::Kind::NoReply) {
            while (readMore()) {
            }
            break;
        }
        if (route.kind == Route::Kind::Held && !WaitForGate(route.path)) {
            break;
        }
        const HttpResponse& response = route.response;
        const bool keepAlive = !EqualsNoCase(FindHeader(request.headers, "Connection"), "close") &&
                               response.statusLine.rfind("HTTP/1.0", 0) != 0 &&
                               !EqualsNoCase(FindHeader(response.headers, "Connection"), "close");
        std::string head = response.statusLine + "\r\n";
        for (const auto& [name, value] : response.headers) {
            head += name + ": " + value + "\r\n";
        }
        if (FindHeader(response.headers, "Content-Length").empty()) {
            head += "Content-Length: " + std::to_string(response.body.size() + route.extra.size()) +
                    "\r\n";
        }
        const bool headOnly = request.method == "HEAD";
        open = SendAll(fd, head + "\r\n" + (headOnly ? "" : response.body)) &&
               (headOnly || route.kind != Route::Kind::TwoParts ||
                (WaitForGate(route.path) && SendAll(fd, route.extra))) &&
               keepAlive;
    }

    {
        std::lock_guard lock(mutex_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::close(fd);
    }
    changed_.notify_all();
}

ReservedPort::ReservedPort(bool listen)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(fd_, listen)) {}

ReservedPort::~ReservedPort() {
    ::close(fd_);
}

}  // namespace quill::test_support
