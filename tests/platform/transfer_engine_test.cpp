// The libcurl transfer engine end to end against the loopback server: header blocks as received,
// HEAD and GET, redirects, body limits, known content lengths, many requests at once, a late reply,
// cancelling, time-outs, broken servers and URLs the engine must refuse.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/curl_transfer_engine.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::HttpResponse;
using test_support::LoopbackHttpServer;
using test_support::RefusingPort;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

TransferRequest Get(const std::string& url) {
    TransferRequest request;
    request.url = url;
    return request;
}

TransferRequest Head(const std::string& url) {
    TransferRequest request = Get(url);
    request.method = "HEAD";
    return request;
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

// --- status lines and header blocks ---

struct StatusLineCase {
    const char* name;
    const char* statusLine;
    int status;
};

class StatusLineTest : public TransferEngineTest,
                       public ::testing::WithParamInterface<StatusLineCase> {};

TEST_P(StatusLineTest, HeaderBlockIsTheResponseAsReceived) {
    const StatusLineCase& row = GetParam();
    server_.Serve("/probe", HttpResponse{row.statusLine, {{"X-Test", "yes"}}, "0123456789"});
    const std::string expected =
        std::string(row.statusLine) + "\r\nX-Test: yes\r\nContent-Length: 10\r\n\r\n";

    for (const char* method : {"HEAD", "GET"}) {
        SCOPED_TRACE(method);
        TransferRequest request = Get(server_.Url("/probe"));
        request.method = method;
        const auto transfer = RunToEnd(engine_, request);
        EXPECT_EQ(transfer->Error(), "");
        EXPECT_EQ(transfer->Header(), expected);
        EXPECT_EQ(transfer->Status(), row.status);
        EXPECT_EQ(transfer->ContentLength(), 10);
        EXPECT_TRUE(transfer->HeadersReceived());
        EXPECT_EQ(transfer->Body(), std::string(method) == "GET" ? "0123456789" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    AsSent, StatusLineTest,
    ::testing::Values(StatusLineCase{"Http11Ok", "HTTP/1.1 200 OK", 200},
                      StatusLineCase{"Http10Ok", "HTTP/1.0 200 OK", 200},
                      StatusLineCase{"LowerCaseReason", "HTTP/1.1 200 Ok", 200},
                      StatusLineCase{"Http2WithoutReason", "HTTP/2 200", 200},
                      StatusLineCase{"MovedPermanently", "HTTP/1.1 301 Moved Permanently", 301}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferEngineTest, HeadAsksWithHeadAndGetsNoBody) {
    server_.ServeFile("/big.png", "image/png", std::string(5000, 'x'));
    const auto transfer = RunToEnd(engine_, Head(server_.Url("/big.png")));
    EXPECT_EQ(transfer->BodySize(), 0u);
    EXPECT_EQ(transfer->ContentType(), "image/png");
    EXPECT_EQ(transfer->ContentLength(), 5000);
    EXPECT_EQ(server_.RequestCount("HEAD", "/big.png"), 1);
    EXPECT_EQ(server_.RequestCount("GET", "/big.png"), 0);
}

TEST_F(TransferEngineTest, ErrorStatusesStillDeliverTheirPage) {
    server_.Serve("/fail", HttpResponse{"HTTP/1.1 500 Internal Server Error",
                                        {{"Content-Type", "text/html"}},
                                        "<p>down</p>"});
    const auto failing = RunToEnd(engine_, Get(server_.Url("/fail")));
    EXPECT_EQ(failing->Error(), "");
    EXPECT_EQ(failing->Status(), 500);
    EXPECT_EQ(failing->Body(), "<p>down</p>");
    EXPECT_EQ(RunToEnd(engine_, Get(server_.Url("/nowhere")))->Status(), 404);
}

TEST_F(TransferEngineTest, ReplyAfterADelayIsWaitedFor) {
    server_.ServeDelayed("/late", HttpResponse{"HTTP/1.1 200 OK", {}, "late"},
                         std::chrono::milliseconds(300));
    const auto transfer = RunToEnd(engine_, Get(server_.Url("/late")));
    EXPECT_EQ(transfer->Error(), "");
    EXPECT_EQ(transfer->Body(), "late");
}

TEST_F(TransferEngineTest, SendsItsUserAgent) {
    server_.ServePage("/", "<p>hi</p>");
    RunToEnd(engine_, Head(server_.Url("/")));
    ASSERT_EQ(server_.Requests().size(), 1u);
    EXPECT_EQ(server_.Requests()[0].HeaderValue("User-Agent"), "Quillorbane/1.0 (link checker)");
    EXPECT_EQ(server_.Requests()[0].version, "HTTP/1.1");
}

// Only the final response's header block counts: not an interim 103, not the chunked trailers.
TEST_F(TransferEngineTest, HeaderIsTheFinalResponsesBlockOnly) {
    server_.ServeRaw("/hints",
                     "HTTP/1.1 103 Early Hints\r\nLink: </s.css>; rel=preload\r\n\r\n"
                     "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    server_.ServeRaw("/chunked",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "3\r\nabc\r\n0\r\nX-Checksum: 1\r\n\r\n");
    const auto hinted = RunToEnd(engine_, Get(server_.Url("/hints")));
    EXPECT_EQ(hinted->Header(), "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n");
    EXPECT_EQ(hinted->Body(), "abc");
    const auto chunked = RunToEnd(engine_, Get(server_.Url("/chunked")));
    EXPECT_EQ(chunked->Header(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    EXPECT_EQ(chunked->Body(), "abc");
}

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Tests and users on machines with a proxy configured still reach loopback servers directly.
TEST_F(TransferEngineTest, LoopbackIsNeverProxied) {
    RefusingPort deadProxy;
    const ScopedEnvironment proxy("http_proxy", deadProxy.Url());
    server_.ServePage("/", "<p>direct</p>");
    CurlTransferEngine engine;  // reads no_proxy when it starts
    EXPECT_EQ(RunToEnd(engine, Get(server_.Url("/")))->Body(), "<p>direct</p>");
}

// --- redirects ---

TEST_F(TransferEngineTest, RedirectsAreFollowedOnlyWhenAsked) {
    server_.ServeRedirect("/old", server_.Url("/middle"), 301);
    server_.ServeRedirect("/middle", "/new", 302);  // relative Location
    server_.ServePage("/new", "<p>new</p>");

    TransferRequest follow = Get(server_.Url("/old"));
    follow.followRedirects = true;
    const auto followed = RunToEnd(engine_, follow);
    EXPECT_EQ(followed->Error(), "");
    EXPECT_EQ(followed->Status(), 200);
    EXPECT_THAT(followed->Header(), StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(followed->Header(), Not(HasSubstr("Location")));
    EXPECT_EQ(followed->EffectiveURL(), server_.Url("/new"));
    EXPECT_EQ(followed->Body(), "<p>new</p>");

    const auto stopped = RunToEnd(engine_, Head(server_.Url("/old")));
    EXPECT_EQ(stopped->Error(), "");
    EXPECT_EQ(stopped->Status(), 301);
    EXPECT_THAT(stopped->Header(), StartsWith("HTTP/1.1 301 Moved Permanently\r\n"));
    EXPECT_THAT(stopped->Header(), HasSubstr("Location: " + server_.Url("/middle")));
    EXPECT_EQ(stopped->EffectiveURL(), server_.Url("/old"));
    EXPECT_EQ(server_.RequestCount("/middle"), 1);  // only from the followed request
}

TEST_F(TransferEngineTest, TooManyRedirectsFail) {
    server_.ServeRedirect("/1", "/2");
    server_.ServeRedirect("/2", "/3");
    server_.ServeRedirect("/3", "/4");
    server_.ServePage("/4", "<p>end</p>");

    TransferRequest enough = Get(server_.Url("/1"));
    enough.followRedirects = true;
    enough.maxRedirects = 3;
    EXPECT_EQ(RunToEnd(engine_, enough)->Error(), "");

    TransferRequest tooFew = enough;
    tooFew.maxRedirects = 2;
    const auto failed = RunToEnd(engine_, tooFew);
    EXPECT_THAT(failed->Error(), Not(IsEmpty()));
    EXPECT_FALSE(failed->HeadersReceived());
}

TEST_F(TransferEngineTest, RedirectOffTheWebIsRefused) {
    engine_.SetFileAccess(true);
    server_.ServeRedirect("/to-disk", "file:///etc/hostname");
    TransferRequest request = Get(server_.Url("/to-disk"));
    request.followRedirects = true;
    const auto transfer = RunToEnd(engine_, request);
    EXPECT_THAT(transfer->Error(), Not(IsEmpty()));
    EXPECT_FALSE(transfer->HeadersReceived());
    EXPECT_EQ(transfer->BodySize(), 0u);
}

// --- what is kept of the body ---

struct HtmlOnlyCase {
    const char* name;
    const char* contentType;
    bool bodyKept;
};

class HtmlBodyOnlyTest : public TransferEngineTest,
                         public ::testing::WithParamInterface<HtmlOnlyCase> {};

TEST_P(HtmlBodyOnlyTest, KeepsTheBodyOfHtmlOnly) {
    const HtmlOnlyCase& row = GetParam();
    const std::string body(3000, 'b');
    server_.ServeFile("/thing", row.contentType, body);
    TransferRequest request = Get(server_.Url("/thing"));
    request.htmlBodyOnly = true;
    const auto transfer = RunToEnd(engine_, request);
    EXPECT_EQ(transfer->Error(), "");
    EXPECT_EQ(transfer->ContentLength(), 3000);
    EXPECT_EQ(transfer->Body(), row.bodyKept ? body : "");
}

INSTANTIATE_TEST_SUITE_P(ByContentType, HtmlBodyOnlyTest,
                         ::testing::Values(HtmlOnlyCase{"Html", "text/html", true},
                                           HtmlOnlyCase{"HtmlUpperCase", "TEXT/HTML", true},
                                           HtmlOnlyCase{"Xhtml", "application/xhtml+xml", true},
                                           HtmlOnlyCase{"Image", "image/png", false},
                                           HtmlOnlyCase{"PlainText", "text/plain", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferEngineTest, HtmlBodyOnlyJudgesTheFinalResponse) {
    server_.ServeRedirect("/start", "/page");
    server_.ServePage("/page", "<p>here</p>");
    TransferRequest request = Get(server_.Url("/start"));
    request.followRedirects = true;
    request.htmlBodyOnly = true;
    EXPECT_EQ(RunToEnd(engine_, request)->Body(), "<p>here</p>");
}

TEST_F(TransferEngineTest, BodyIsCutAtTheLimitAndTheRequestStillSucceeds) {
    server_.ServePage("/long", std::string(100000, 'l'));
    TransferRequest request = Get(server_.Url("/long"));
    request.maxBodyBytes = 1000;
    const auto transfer = RunToEnd(engine_, request);
    EXPECT_EQ(transfer->Error(), "");
    EXPECT_EQ(transfer->BodySize(), 1000u);
    EXPECT_EQ(transfer->ContentLength(), 100000);

    request.maxBodyBytes = 100000;  // exactly the body: nothing is cut
    EXPECT_EQ(RunToEnd(engine_, request)->BodySize(), 100000u);
}

TEST_F(TransferEngineTest, PartialBodyIsReadableWhileTheRestIsOnItsWay) {
    server_.ServeInTwoParts("/slow", "text/html", "<html><p>first", "</p></html>");
    const auto transfer = engine_.Start(Get(server_.Url("/slow")));
    transfer->WaitHeadersOrFinished();
    EXPECT_TRUE(transfer->HeadersReceived());
    transfer->WaitBodyOrFinished(14);
    EXPECT_EQ(transfer->Body(), "<html><p>first");
    EXPECT_FALSE(transfer->Finished());

    server_.Release("/slow");
    transfer->WaitFinished();
    EXPECT_EQ(transfer->Error(), "");
    EXPECT_EQ(transfer->Body(), "<html><p>first</p></html>");
}

// --- known content lengths ---

TEST_F(TransferEngineTest, RemembersContentLengthPerUrl) {
    server_.ServeFile("/a.png", "image/png", std::string(12345, 'p'));
    server_.ServeRaw("/unsized", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nabc");
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/a.png")), std::nullopt);

    RunToEnd(engine_, Head(server_.Url("/a.png")));
    RunToEnd(engine_, Get(server_.Url("/unsized")));
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/a.png")), 12345);
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/unsized")), std::nullopt);
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/never-asked")), std::nullopt);

    engine_.ForgetKnownContentLengths();
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/a.png")), std::nullopt);
}

TEST_F(TransferEngineTest, RemembersTheLengthOfEveryRedirectHop) {
    server_.Serve("/hop", HttpResponse{"HTTP/1.1 302 Found", {{"Location", "/target.gif"}}, "x"});
    server_.ServeFile("/target.gif", "image/gif", std::string(777, 'g'));
    TransferRequest request = Head(server_.Url("/hop"));
    request.followRedirects = true;
    RunToEnd(engine_, request);
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/hop")), 1);
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/target.gif")), 777);
}

// --- many requests, one connection ---

TEST_F(TransferEngineTest, ManyRequestsAreInFlightAtOnce) {
    constexpr int kRequests = 16;
    std::vector<std::shared_ptr<Transfer>> transfers;
    for (int i = 0; i < kRequests; ++i) {
        const std::string path = "/held/" + std::to_string(i);
        server_.ServeInTwoParts(path, "text/html", "<p>" + std::to_string(i), "</p>");
        transfers.push_back(engine_.Start(Get(server_.Url(path))));
    }
    // Every request has reached the server while none of them can have finished.
    ASSERT_TRUE(server_.WaitForRequests(kRequests));
    for (const auto& transfer : transfers) {
        EXPECT_FALSE(transfer->Finished());
    }
    for (int i = 0; i < kRequests; ++i) {
        server_.Release("/held/" + std::to_string(i));
    }
    for (int i = 0; i < kRequests; ++i) {
        transfers[i]->WaitFinished();
        EXPECT_EQ(transfers[i]->Error(), "");
        EXPECT_EQ(transfers[i]->Body(), "<p>" + std::to_string(i) + "</p>");
    }
}

// --- ending early ---

TEST_F(TransferEngineTest, CancelEndsAHungRequestAndClosesItsConnection) {
    server_.ServeNoReply("/silent");
    const auto transfer = engine_.Start(Head(server_.Url("/silent")));
    ASSERT_TRUE(server_.WaitForRequest("/silent"));
    transfer->Cancel();
    transfer->WaitFinished();
    EXPECT_TRUE(transfer->CancelRequested());
    EXPECT_EQ(transfer->Error(), "cancelled");
    EXPECT_EQ(transfer->Header(), "");
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
}

TEST_F(TransferEngineTest, DroppingTheLastReferenceAbandonsTheRequest) {
    server_.ServeNoReply("/silent");
    {
        const auto transfer = engine_.Start(Head(server_.Url("/silent")));
        ASSERT_TRUE(server_.WaitForRequest("/silent"));
        EXPECT_EQ(server_.OpenConnectionCount(), 1);
    }
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
}

TEST_F(TransferEngineTest, ServerThatNeverAnswersTimesOut) {
    server_.ServeNoReply("/silent");
    TransferRequest request = Head(server_.Url("/silent"));
    request.timeoutSeconds = 1;
    const auto transfer = RunToEnd(engine_, request);
    EXPECT_THAT(transfer->Error(), HasSubstr("Timeout"));
    EXPECT_EQ(transfer->Header(), "");
    EXPECT_EQ(transfer->Status(), 0);
}

TEST_F(TransferEngineTest, EngineEndFinishesRequestsStillRunning) {
    server_.ServeNoReply("/silent");
    std::shared_ptr<Transfer> transfer;
    {
        CurlTransferEngine engine;
        transfer = engine.Start(Get(server_.Url("/silent")));
        ASSERT_TRUE(server_.WaitForRequest("/silent"));
    }
    EXPECT_TRUE(transfer->Finished());
    EXPECT_THAT(transfer->Error(), Not(IsEmpty()));
    EXPECT_EQ(transfer->Header(), "");
}

// --- servers and URLs that give no response ---

TEST_F(TransferEngineTest, BrokenOrAbsentServerGivesNoResponse) {
    server_.ServeClosedMidHeader("/cut");
    server_.ServeRaw("/noise", "hello there\r\n\r\n");
    server_.ServeStatusLine("/future", "HTTP/3.0 200 OK");
    RefusingPort refusing;
    for (const std::string& url :
         {server_.Url("/cut"), server_.Url("/noise"), server_.Url("/future"), refusing.Url()}) {
        for (const char* method : {"HEAD", "GET"}) {
            TransferRequest request = Get(url);
            request.method = method;
            const auto transfer = RunToEnd(engine_, request);
            EXPECT_THAT(transfer->Error(), Not(IsEmpty())) << url << " " << method;
            EXPECT_EQ(transfer->Header(), "") << url << " " << method;
            EXPECT_EQ(transfer->Status(), 0) << url << " " << method;
        }
    }
}

struct RefusedUrlCase {
    const char* name;
    const char* url;
};

class RefusedUrlTest : public ::testing::TestWithParam<RefusedUrlCase> {
  protected:
    CurlTransferEngine engine_;
};

TEST_P(RefusedUrlTest, FinishesAtOnceWithAnErrorAndNoHeader) {
    for (const char* method : {"HEAD", "GET"}) {
        TransferRequest request = Get(GetParam().url);
        request.method = method;
        const auto transfer = engine_.Start(request);
        EXPECT_TRUE(transfer->Finished());
        EXPECT_THAT(transfer->Error(), Not(IsEmpty()));
        EXPECT_EQ(transfer->Header(), "");
        EXPECT_EQ(transfer->Status(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    NotHttp, RefusedUrlTest,
    ::testing::Values(RefusedUrlCase{"Empty", ""}, RefusedUrlCase{"SchemeOnly", "http://"},
                      RefusedUrlCase{"Mail", "mailto:x"},
                      RefusedUrlCase{"Script", "javascript:void(0)"},
                      RefusedUrlCase{"Ftp", "ftp://127.0.0.1/file"},
                      RefusedUrlCase{"BrokenIpv6", "http://[::1/"},
                      RefusedUrlCase{"FileWhileFileAccessIsOff", "file:///etc/hostname"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferEngineTest, UnknownMethodIsRefused) {
    server_.ServePage("/", "<p>hi</p>");
    TransferRequest request = Get(server_.Url("/"));
    request.method = "DELETE";
    const auto transfer = engine_.Start(request);
    EXPECT_TRUE(transfer->Finished());
    EXPECT_THAT(transfer->Error(), Not(IsEmpty()));
    EXPECT_EQ(server_.RequestCount(), 0);
}

}  // namespace
}  // namespace quill::platform
