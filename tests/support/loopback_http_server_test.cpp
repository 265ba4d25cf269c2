// The loopback server over plain sockets.
#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace quill::test_support {
namespace {

// One connection; reads give up after ten seconds, so a faulty server fails instead of hanging.
struct Client {
    explicit Client(int port) {
        const timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        sockaddr_in address{
            AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    ~Client() { ::close(fd); }
    void Send(const std::string& method, const std::string& target, const std::string& extra = "") {
        const std::string bytes =
            method + " " + target + " HTTP/1.1\r\nHost: h\r\n" + extra + "\r\n";
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Up to `count` bytes, fewer when the connection ends first.
    std::string Read(std::size_t count = 1 << 20) {
        std::string got(count, '\0');
        std::size_t size = 0;
        for (ssize_t n = 1; size < count && n > 0; size += n > 0 ? n : 0) {
            n = ::recv(fd, got.data() + size, count - size, 0);
        }
        return got.substr(0, size);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
};

// A kept connection answers HEAD then GET with nothing left over, and both are recorded; the
// server then ends promptly though clients still wait for answers it holds back.
TEST(LoopbackHttpServerTest, KeepsConnectionsAndEndsPromptlyWithClientsStillWaiting) {
    auto server = std::make_unique<LoopbackHttpServer>();
    server->Serve("/a", HttpResponse{"HTTP/1.1 200 Ok", {{"X-Kind", "a"}}, "12345"});
    server->ServeNoReply("/silent");
    server->ServeInTwoParts("/held", "text/html", "<p>", "</p>");
    server->ServeWhenReleased("/late", HttpResponse{});
    const std::string head = "HTTP/1.1 200 Ok\r\nX-Kind: a\r\nContent-Length: 5\r\n\r\n";
    Client kept(server->Port()), silent(server->Port()), held(server->Port()), late(server->Port());
    kept.Send("HEAD", "/a");
    EXPECT_EQ(kept.Read(head.size()), head);
    kept.Send("GET", "/a?page=2", "Connection: close\r\n");
    EXPECT_EQ(kept.Read(), head + "12345");
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[1].HeaderValue("connection"), "close");
    EXPECT_EQ(server->RequestCount("GET", "/a?page=2"), 1);

    silent.Send("HEAD", "/silent");
    held.Send("GET", "/held");
    late.Send("GET", "/late");
    ASSERT_TRUE(server->WaitForRequests(5));
    const std::string part =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 7\r\n\r\n<p>";
    EXPECT_EQ(held.Read(part.size()), part);
    server.reset();  // returns although no client has had its answer
    for (Client* client : {&silent, &held, &late}) {
        EXPECT_EQ(client->Read(), "");
    }
}

}  // namespace
}  // namespace quill::test_support
