// The libcurl transfer engine end to end against the loopback server: header blocks as received,
// redirects, what is kept of a body, known lengths, ending early, and the reason of every failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/curl_transfer_engine.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::HttpResponse;
using test_support::LoopbackHttpServer;
using test_support::RefusingPort;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TransferRequest Ask(const std::string& url, const std::string& method = "GET") {
    return TransferRequest{url, method};
}

std::shared_ptr<Transfer> RunToEnd(TransferEngine& engine, TransferRequest request) {
    std::shared_ptr<Transfer> transfer = engine.Start(std::move(request));
    transfer->WaitFinished();
    return transfer;
}

class TransferEngineTest : public ::testing::Test {
  protected:
    LoopbackHttpServer server_;
    CurlTransferEngine engine_;
};

TEST_F(TransferEngineTest, HeaderBlockIsTheResponseAsReceived) {
    server_.Serve("/probe", HttpResponse{"HTTP/2 299", {{"X-Test", "yes"}}, "0123456789"});
    for (const char* method : {"HEAD", "GET"}) {
        const auto transfer = RunToEnd(engine_, Ask(server_.Url("/probe"), method));
        EXPECT_EQ(transfer->Error(), "");
        EXPECT_EQ(transfer->Header(), "HTTP/2 299\r\nX-Test: yes\r\nContent-Length: 10\r\n\r\n");
        EXPECT_EQ(transfer->Status(), 299);
        EXPECT_EQ(transfer->ContentLength(), 10);
        EXPECT_EQ(transfer->Body(), std::string(method) == "GET" ? "0123456789" : "");
        EXPECT_EQ(server_.RequestCount(method, "/probe"), 1);
    }
    EXPECT_EQ(server_.Requests()[0].HeaderValue("User-Agent"), CurlTransferEngine::kUserAgent);
}

// Only the final response's header block counts: not an interim 103, not the chunked trailers.
TEST_F(TransferEngineTest, HeaderIsTheFinalResponsesBlockOnly) {
    server_.ServeRaw("/hints",
                     "HTTP/1.1 103 Early Hints\r\nLink: </s.css>; rel=preload\r\n\r\n"
                     "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    server_.ServeRaw("/chunked",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "3\r\nabc\r\n0\r\nX-Checksum: 1\r\n\r\n");
    const auto hinted = RunToEnd(engine_, Ask(server_.Url("/hints")));
    EXPECT_EQ(hinted->Header(), "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n");
    const auto chunked = RunToEnd(engine_, Ask(server_.Url("/chunked")));
    EXPECT_EQ(chunked->Header(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    EXPECT_EQ(chunked->Body(), "abc");
}

TEST_F(TransferEngineTest, RedirectsAreFollowedOnlyWhenAsked) {
    server_.ServeRedirect("/old", server_.Url("/middle"), 301);
    server_.ServeRedirect("/middle", "/new", 302);  // relative Location
    server_.ServePage("/new", "<p>new</p>");

    TransferRequest follow = Ask(server_.Url("/old"));
    follow.followRedirects = true;
    follow.htmlBodyOnly = true;  // judged by the final response, not by the hops
    const auto followed = RunToEnd(engine_, follow);
    EXPECT_EQ(followed->Status(), 200);
    EXPECT_THAT(followed->Header(), Not(HasSubstr("Location")));
    EXPECT_EQ(followed->EffectiveURL(), server_.Url("/new"));
    EXPECT_EQ(followed->Body(), "<p>new</p>");
    EXPECT_NE(engine_.KnownContentLength(server_.Url("/old")), std::nullopt) << "every hop's";

    const auto stopped = RunToEnd(engine_, Ask(server_.Url("/old"), "HEAD"));
    EXPECT_THAT(stopped->Header(), StartsWith("HTTP/1.1 301 Moved Permanently\r\n"));
    EXPECT_EQ(stopped->EffectiveURL(), server_.Url("/old"));
    EXPECT_EQ(server_.RequestCount("/middle"), 1);  // only from the followed request
}

struct BodyCase {
    const char* contentType;
    bool htmlBodyOnly;
    std::size_t maxBodyBytes;
    std::size_t kept;
};

TEST_F(TransferEngineTest, BodyIsKeptUpToItsLimitAndForHtmlOnlyWhenAsked) {
    const BodyCase cases[] = {{"text/html", true, 5000, 3000},
                              {"TEXT/HTML", true, 5000, 3000},
                              {"application/xhtml+xml", true, 5000, 3000},
                              {"image/png", true, 5000, 0},
                              {"image/png", false, 5000, 3000},
                              {"text/html", false, 1000, 1000},
                              {"text/html", false, 3000, 3000},
                              {"text/html", false, 0, 0}};
    for (const BodyCase& c : cases) {
        server_.ServeFile("/thing", c.contentType, std::string(3000, 'b'));
        TransferRequest request = Ask(server_.Url("/thing"));
        request.htmlBodyOnly = c.htmlBodyOnly;
        request.maxBodyBytes = c.maxBodyBytes;
        const auto transfer = RunToEnd(engine_, request);
        EXPECT_EQ(transfer->Error(), "") << c.contentType << " " << c.maxBodyBytes;
        EXPECT_EQ(transfer->ContentLength(), 3000);
        EXPECT_EQ(transfer->BodySize(), c.kept) << c.contentType << " " << c.maxBodyBytes;
    }
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/thing")), 3000);
    engine_.ForgetKnownContentLengths();
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/thing")), std::nullopt);
}

// The engine cancels a request whose last reference is dropped, and frees its connection.
TEST_F(TransferEngineTest, DroppingTheRequestEndsIt) {
    server_.ServeNoReply("/silent");
    {
        const auto dropped = engine_.Start(Ask(server_.Url("/silent")));
        ASSERT_TRUE(server_.WaitForRequest("/silent"));
    }
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
}

TEST_F(TransferEngineTest, FailureHasNoResponseAndAReason) {
    server_.ServeClosedMidHeader("/cut");
    server_.ServeRaw("/noise", "hello there\r\n\r\n");
    server_.ServeNoReply("/silent");
    for (int i = 1; i <= 3; ++i) {
        server_.ServeRedirect("/" + std::to_string(i), "/" + std::to_string(i + 1));
    }
    RefusingPort refusing;
    const std::pair<std::string, const char*> cases[] = {
        {server_.Url("/cut"), "incomplete response"},
        {server_.Url("/noise"), "not an HTTP response"},
        {server_.Url("/silent"), "timed out after 1 s"},
        {server_.Url("/1"), "too many redirects"},
        {refusing.Url(), "connection refused"},
    };
    for (const auto& [url, reason] : cases) {
        TransferRequest request = Ask(url);
        request.timeoutSeconds = 1;
        request.followRedirects = true;
        request.maxRedirects = 2;
        const auto transfer = RunToEnd(engine_, request);
        EXPECT_EQ(transfer->Error(), reason) << url;
        EXPECT_FALSE(transfer->HeadersReceived()) << url;
    }
}

TEST(RefusedRequestTest, FinishesAtOnceWithAReasonAndNoHeader) {
    CurlTransferEngine engine;
    for (const char* url : {"", "http://", "mailto:x", "javascript:void(0)", "ftp://127.0.0.1/f",
                            "http://[::1/", "file:///etc/hostname"}) {
        const auto transfer = engine.Start(Ask(url));
        EXPECT_TRUE(transfer->Finished()) << url;
        EXPECT_NE(transfer->Error(), "") << url;
        EXPECT_EQ(transfer->Header(), "") << url;
    }
    EXPECT_NE(engine.Start(Ask("http://127.0.0.1:1/", "DELETE"))->Error(), "");
}

}  // namespace
}  // namespace quill::platform
