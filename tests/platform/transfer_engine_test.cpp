// The libcurl transfer engine end to end against the loopback server: header blocks as received,
// redirects, what is kept of a body, known lengths, ending early, and the reason of every failure.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/curl_transfer_engine.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::HttpResponse;

class TransferEngineTest : public ::testing::Test {
  protected:
    std::shared_ptr<Transfer> Run(TransferRequest request) {
        std::shared_ptr<Transfer> transfer = engine_.Start(std::move(request));
        transfer->WaitFinished();
        return transfer;
    }

    test_support::LoopbackHttpServer server_;
    CurlTransferEngine engine_;
};

// Only the final response's header block counts: not an interim 103, not the chunked trailers.
TEST_F(TransferEngineTest, HeaderIsTheFinalResponsesBlockAsReceived) {
    server_.Serve("/probe", HttpResponse{"HTTP/2 299", {{"X-Test", "yes"}}, "0123456789"});
    for (const char* method : {"HEAD", "GET"}) {
        const auto transfer = Run(TransferRequest{server_.Url("/probe"), method});
        EXPECT_EQ(transfer->Header(), "HTTP/2 299\r\nX-Test: yes\r\nContent-Length: 10\r\n\r\n");
        EXPECT_EQ(transfer->Status(), 299);
        EXPECT_EQ(transfer->ContentLength(), 10);
        EXPECT_EQ(transfer->Body(), std::string(method) == "GET" ? "0123456789" : "");
    }
    EXPECT_EQ(server_.Requests()[0].HeaderValue("User-Agent"), CurlTransferEngine::kUserAgent);
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n";
    server_.ServeRaw("/hints", "HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\n" + ok + "abc");
    EXPECT_EQ(Run(TransferRequest{server_.Url("/hints")})->Header(), ok);
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    server_.ServeRaw("/chunked", chunked + "3\r\nabc\r\n0\r\nX-Checksum: 1\r\n\r\n");
    const auto got = Run(TransferRequest{server_.Url("/chunked")});
    EXPECT_EQ(got->Header(), chunked);
    EXPECT_EQ(got->Body(), "abc");
}

TEST_F(TransferEngineTest, RedirectsAreFollowedOnlyWhenAsked) {
    server_.ServeRedirect("/old", server_.Url("/middle"), 301);
    server_.ServeRedirect("/middle", "/new", 302);  // relative Location
    server_.ServePage("/new", "<p>new</p>");
    TransferRequest follow{server_.Url("/old")};
    follow.followRedirects = true;
    follow.htmlBodyOnly = true;  // judged by the final response, not by the hops
    const auto followed = Run(follow);
    EXPECT_EQ(followed->Header().find("Location"), std::string::npos);
    EXPECT_EQ(followed->EffectiveURL(), server_.Url("/new"));
    EXPECT_EQ(followed->Body(), "<p>new</p>");
    EXPECT_NE(engine_.KnownContentLength(server_.Url("/old")), std::nullopt) << "every hop's";
    const auto stopped = Run(TransferRequest{server_.Url("/old"), "HEAD"});
    EXPECT_EQ(stopped->Status(), 301);
    EXPECT_EQ(stopped->EffectiveURL(), server_.Url("/old"));
}

TEST_F(TransferEngineTest, BodyIsKeptUpToItsLimitAndForHtmlOnlyWhenAsked) {
    const struct {
        const char* contentType;
        bool htmlBodyOnly;
        std::size_t maxBodyBytes, kept;
    } cases[] = {{"TEXT/HTML", true, 5000, 3000},  {"application/xhtml+xml", true, 5000, 3000},
                 {"image/png", true, 5000, 0},     {"image/png", false, 5000, 3000},
                 {"text/html", false, 1000, 1000}, {"text/html", false, 0, 0}};
    for (const auto& c : cases) {
        server_.ServeFile("/thing", c.contentType, std::string(3000, 'b'));
        TransferRequest request{server_.Url("/thing")};
        request.htmlBodyOnly = c.htmlBodyOnly;
        request.maxBodyBytes = c.maxBodyBytes;
        const auto transfer = Run(request);
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
        const auto dropped = engine_.Start(TransferRequest{server_.Url("/silent")});
        ASSERT_TRUE(server_.WaitForRequest("/silent"));
    }
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
}

// (Refused connections and time-outs: probe_end_to_end_test.)
TEST_F(TransferEngineTest, FailureHasNoResponseAndAReason) {
    server_.ServeRaw("/cut", "HTTP/1.1 200 OK\r\nContent-Ty");
    server_.ServeRaw("/noise", "hello there\r\n\r\n");
    for (int i = 1; i <= 3; ++i) {
        server_.ServeRedirect("/" + std::to_string(i), "/" + std::to_string(i + 1));
    }
    const std::pair<std::string, const char*> cases[] = {
        {server_.Url("/cut"), "incomplete response"},
        {server_.Url("/noise"), "not an HTTP response"},
        {server_.Url("/1"), "too many redirects"},
    };
    for (const auto& [url, reason] : cases) {
        TransferRequest request{url};
        request.timeoutSeconds = 1;
        request.followRedirects = true;
        request.maxRedirects = 2;
        const auto transfer = Run(request);
        EXPECT_EQ(transfer->Error(), reason) << url;
        EXPECT_FALSE(transfer->HeadersReceived()) << url;
    }
    for (const char* url : {"", "http://", "mailto:x", "javascript:void(0)", "ftp://127.0.0.1/f",
                            "http://[::1/", "file:///etc/hostname"}) {
        const auto transfer = engine_.Start(TransferRequest{url});
        EXPECT_TRUE(transfer->Finished()) << url;  // refused at once
        EXPECT_NE(transfer->Error(), "") << url;
        EXPECT_EQ(transfer->Header(), "") << url;
    }
    EXPECT_NE(engine_.Start(TransferRequest{server_.Url("/"), "DELETE"})->Error(), "");
}

}  // namespace
}  // namespace quill::platform
