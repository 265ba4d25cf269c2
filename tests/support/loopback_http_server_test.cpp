// The loopback server itself, spoken to over plain sockets: what it answers, what it records, and
// that it shuts down promptly whatever its clients are still waiting for.
#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace quill::test_support {
namespace {

// One client connection; reads give up after ten seconds so a faulty server fails the test
// instead of hanging it.
class Client {
  public:
    explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        timeval limit{10, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    ~Client() { ::close(fd_); }

    void Send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    // Everything until the server closes the connection.
    std::string ReadToEnd() {
        std::string all;
        char chunk[4096];
        ssize_t n;
        while ((n = ::recv(fd_, chunk, sizeof(chunk), 0)) > 0) {
            all.append(chunk, static_cast<std::size_t>(n));
        }
        return all;
    }

    // Exactly `count` bytes (fewer if the connection ends first).
    std::string Read(std::size_t count) {
        std::string got;
        char chunk[4096];
        while (got.size() < count) {
            const ssize_t n = ::recv(fd_, chunk, std::min(sizeof(chunk), count - got.size()), 0);
            if (n <= 0) {
                break;
            }
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }

  private:
    int fd_;
};

std::string Request(const std::string& method, const std::string& target,
                    const std::string& extra = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

TEST(LoopbackHttpServerTest, KeepsTheConnectionForTheNextRequestAndRecordsBoth) {
    LoopbackHttpServer server;
    server.Serve("/a", HttpResponse{"HTTP/1.1 200 Ok", {{"X-Kind", "a"}}, "12345"});
    const std::string head = "HTTP/1.1 200 Ok\r\nX-Kind: a\r\nContent-Length: 5\r\n\r\n";
    Client client(server.Port());

    client.Send(Request("HEAD", "/a"));
    EXPECT_EQ(client.Read(head.size()), head);
    client.Send(Request("GET", "/a?page=2", "Connection: close\r\n"));
    EXPECT_EQ(client.ReadToEnd(), head + "12345");  // nothing left over from the HEAD

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[0].target, "/a");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].target, "/a?page=2");
    EXPECT_EQ(requests[1].sequence, 1);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(requests[1].HeaderValue("connection"), "close");
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_EQ(server.RequestCount("/a"), 1);
    EXPECT_EQ(server.RequestCount("GET", "/a?page=2"), 1);
}

TEST(LoopbackHttpServerTest, EndsPromptlyWithClientsStillWaiting) {
    auto server = std::make_unique<LoopbackHttpServer>();
    server->ServeNoReply("/silent");
    server->ServeInTwoParts("/held", "text/html", "<p>", "</p>");
    server->ServeDelayed("/late", HttpResponse{}, std::chrono::hours(1));
    Client silent(server->Port());
    Client held(server->Port());
    Client late(server->Port());
    silent.Send(Request("HEAD", "/silent"));
    held.Send(Request("GET", "/held"));
    late.Send(Request("GET", "/late"));
    ASSERT_TRUE(server->WaitForRequests(3));
    EXPECT_EQ(server->OpenConnectionCount(), 3);
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 7\r\n\r\n<p>";
    EXPECT_EQ(held.Read(head.size()), head);

    server.reset();  // returns although no client has had its answer

    EXPECT_EQ(silent.ReadToEnd(), "");
    EXPECT_EQ(late.ReadToEnd(), "");
    EXPECT_EQ(held.ReadToEnd(), "");
}

}  // namespace
}  // namespace quill::test_support
