// The loopback server over plain sockets: a kept connection answers two requests and records both,
// and the server ends promptly whatever its clients still wait for.
#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace quill::test_support {
namespace {

// One connection; reads give up after ten seconds, so a faulty server fails instead of hanging.
struct Client {
    explicit Client(int port) {
        timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    ~Client() { ::close(fd); }
    void Send(const std::string& method, const std::string& target, const std::string& extra = "") {
        const std::string bytes =
            method + " " + target + " HTTP/1.1\r\nHost: h\r\n" + extra + "\r\n";
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Up to `count` bytes, fewer when the connection ends first.
    std::string Read(std::size_t count = SIZE_MAX) {
        std::string got;
        char chunk[4096];
        for (ssize_t n = 1; got.size() < count && n > 0;) {
            n = ::recv(fd, chunk, std::min(sizeof(chunk), count - got.size()), 0);
            got.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
        return got;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
};

TEST(LoopbackHttpServerTest, KeepsTheConnectionForTheNextRequestAndRecordsBoth) {
    LoopbackHttpServer server;
    server.Serve("/a", HttpResponse{"HTTP/1.1 200 Ok", {{"X-Kind", "a"}}, "12345"});
    const std::string head = "HTTP/1.1 200 Ok\r\nX-Kind: a\r\nContent-Length: 5\r\n\r\n";
    Client client(server.Port());
    client.Send("HEAD", "/a");
    EXPECT_EQ(client.Read(head.size()), head);
    client.Send("GET", "/a?page=2", "Connection: close\r\n");
    EXPECT_EQ(client.Read(), head + "12345");  // nothing left over from the HEAD

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].sequence, 1);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[1].HeaderValue("connection"), "close");
    EXPECT_EQ(server.RequestCount("/a"), 1);
    EXPECT_EQ(server.RequestCount("GET", "/a?page=2"), 1);
}

TEST(LoopbackHttpServerTest, EndsPromptlyWithClientsStillWaiting) {
    auto server = std::make_unique<LoopbackHttpServer>();
    server->ServeNoReply("/silent");
    server->ServeInTwoParts("/held", "text/html", "<p>", "</p>");
    server->ServeDelayed("/late", HttpResponse{}, std::chrono::hours(1));
    Client silent(server->Port()), held(server->Port()), late(server->Port());
    silent.Send("HEAD", "/silent");
    held.Send("GET", "/held");
    late.Send("GET", "/late");
    ASSERT_TRUE(server->WaitForRequests(3));
    EXPECT_EQ(server->OpenConnectionCount(), 3);
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 7\r\n\r\n<p>";
    EXPECT_EQ(held.Read(head.size()), head);

    server.reset();  // returns although no client has had its answer
    for (Client* client : {&silent, &held, &late}) {
        EXPECT_EQ(client->Read(), "");
    }
}

}  // namespace
}  // namespace quill::test_support
