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
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~Client() { ::close(fd_); }

    bool Connected() const { return connected_; }
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
    bool connected_ = false;
};

std::string Request(const std::string& method, const std::string& target,
                    const std::string& extra = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

TEST(LoopbackHttpServerTest, UnknownPathIsNotFound) {
    LoopbackHttpServer server;
    Client client(server.Port());
    client.Send(Request("GET", "/nothing", "Connection: close\r\n"));
    const std::string answer = client.ReadToEnd();
    EXPECT_EQ(answer.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << answer;
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

TEST(LoopbackHttpServerTest, HelpersAnswerAsNamed) {
    LoopbackHttpServer server;
    server.ServeRedirect("/old", "/new", 308);
    server.ServeSite({{"/", "<p>home</p>"}, {"/about", "<p>about</p>"}});
    server.ServeRaw("/raw", "HTTP/1.0 200 OK\r\n\r\nraw bytes");

    Client redirect(server.Port());
    redirect.Send(Request("GET", "/old", "Connection: close\r\n"));
    const std::string moved = redirect.ReadToEnd();
    EXPECT_EQ(moved.rfind("HTTP/1.1 308 Permanent Redirect\r\nLocation: /new\r\n", 0), 0u);

    Client page(server.Port());
    page.Send(Request("GET", "/about", "Connection: close\r\n"));
    const std::string about = page.ReadToEnd();
    EXPECT_NE(about.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_EQ(about.substr(about.size() - 12), "<p>about</p>");

    Client raw(server.Port());
    raw.Send(Request("GET", "/raw"));  // keep-alive asked for, closed all the same
    EXPECT_EQ(raw.ReadToEnd(), "HTTP/1.0 200 OK\r\n\r\nraw bytes");
}

TEST(LoopbackHttpServerTest, SecondPartWaitsForRelease) {
    LoopbackHttpServer server;
    server.ServeInTwoParts("/doc", "text/html", "<p>one", "</p>");
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10\r\n\r\n";
    Client client(server.Port());
    client.Send(Request("GET", "/doc"));
    EXPECT_EQ(client.Read(head.size() + 6), head + "<p>one");
    server.Release("/doc");
    EXPECT_EQ(client.Read(4), "</p>");
}

TEST(LoopbackHttpServerTest, ClosesMidHeader) {
    LoopbackHttpServer server;
    server.ServeClosedMidHeader("/cut");
    Client client(server.Port());
    client.Send(Request("GET", "/cut"));
    EXPECT_EQ(client.ReadToEnd(), "HTTP/1.1 200 OK\r\nContent-Ty");
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

TEST(LoopbackHttpServerTest, WaitsGiveUpAfterTheirTimeOut) {
    LoopbackHttpServer server;
    EXPECT_FALSE(server.WaitForRequests(1, std::chrono::milliseconds(1)));
    EXPECT_FALSE(server.WaitForRequest("/x", 1, std::chrono::milliseconds(1)));
    EXPECT_TRUE(server.WaitForOpenConnectionsAtMost(0, std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace quill::test_support
