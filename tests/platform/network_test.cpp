// The transfer engine and what runs over it: a transfer's end and raw header blocks, file: answers,
// then against the loopback server header blocks, redirects, bodies kept, probe verdicts by status,
// HEAD refused, time-outs, Stop, failure reasons, page loads and image sizes.
// (Rate limits: url_checker_test.)
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "platform/curl_transfer_engine.h"
#include "platform/file_responder.h"
#include "platform/image_file_sizes.h"
#include "platform/packed_transfer.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"
#include "probe/url_checker.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::HttpResponse;

const Transfer::TimePoint kStart{};

TEST(TransferTest, FirstFinishWinsAndMarksItsCompletion) {
    Transfer transfer(TransferRequest{"http://example.test/a"});
    transfer.MarkStarted(kStart);
    const auto done = CompletionOf(transfer);
    EXPECT_FALSE(done->Done());
    transfer.Finish(kStart + std::chrono::seconds(1), "cancelled");
    transfer.Finish(kStart + std::chrono::seconds(5));
    EXPECT_TRUE(done->Done());
    EXPECT_EQ(transfer.Error(), "cancelled");
    EXPECT_EQ(transfer.Duration(), std::chrono::seconds(1));
    EXPECT_TRUE(CompletionOf(transfer)->Done()) << "at once for a finished transfer";
}

// A packed answer stands in for the walk's own: any field lost would change its verdict.
TEST(TransferTest, PackedReadsAsTheOriginal) {
    const struct {
        const char* statusLine;
        int status;
        std::string body;
        const char* error;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n", 200, std::string(3000, 'a') + "<a href=x>", ""},
        {"HTTP/1.1 404 Not Found\r\n", 404, "\x01\xff", ""},  // too short to deflate
        {"", 0, "", "connection refused"},
    };
    for (const auto& c : cases) {
        Transfer original(TransferRequest{"http://example.test/a", "GET", true, 3, 7, 4096, true});
        original.MarkStarted(kStart);
        if (c.status != 0) {
            original.BeginResponse(c.statusLine);
            original.AppendHeaderLine("Content-Type: text/html\r\n");
            original.AppendHeaderLine("\r\n");
            original.EndHeaders(c.status, "http://example.test/b", "text/html", 3000, true);
        }
        original.AppendBody(c.body.data(), c.body.size());
        if (c.status == 0) {
            original.Cancel();
        }
        original.Finish(kStart + std::chrono::seconds(2), c.error);
        // Kept in memory, and set aside as bytes and read back.
        const PackedTransfer packed(original);
        for (const auto& copy :
             {packed.Unpack(), PackedTransfer::FromBytes(packed.ToBytes())->Unpack()}) {
            EXPECT_TRUE(copy->Finished());
            EXPECT_EQ(copy->CancelRequested(), c.status == 0);
            EXPECT_EQ(copy->Request().timeoutSeconds, 7);
            EXPECT_EQ(copy->Request().maxBodyBytes, 4096u);
            EXPECT_TRUE(copy->Request().htmlBodyOnly);
            EXPECT_EQ(copy->HeadersReceived(), c.status != 0);
            EXPECT_EQ(copy->Header(), original.Header());
            EXPECT_EQ(copy->Status(), c.status);
            EXPECT_EQ(copy->EffectiveURL(), original.EffectiveURL());
            EXPECT_EQ(copy->ContentType(), original.ContentType());
            EXPECT_EQ(copy->ContentLength(), original.ContentLength());
            EXPECT_EQ(copy->Body(), c.body);
            EXPECT_EQ(copy->Error(), c.error);
            EXPECT_EQ(copy->Duration(), std::chrono::seconds(2));
        }
    }
}

TEST(HeaderBlockTest, StatusCodeAndFields) {
    const struct {
        const char* block;
        int status;
        const char* retryAfter;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", 200, ""},
        {"HTTP/2 429\r\nretry-after:  7 \r\nRetry-After: 9\r\n\r\n", 429, "9"},
        {"HTTP/1.1 2000 Odd\r\n", 0, ""},
        {"http/1.1 200 OK\r\n", 0, ""},
        {"Retry-After: 3\r\n", 0, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatusCodeOf(c.block), c.status) << c.block;
        EXPECT_EQ(HeaderField(c.block, "Retry-After"), c.retryAfter) << c.block;
    }
}

std::string FileOkHeader(std::size_t length, const std::string& contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) +
           "\r\nContent-Type: " + contentType + "\r\n\r\n";
}

class FileResponderTest : public ::testing::Test {
  protected:
    FileResponderTest() {
        char pattern[] = "/tmp/quill-files-XXXXXX";
        root_ = ::mkdtemp(pattern);
        for (const auto& [relative, content] : {std::pair{"index.html", "<html>home</html>"},
                                                {"page.htm", "<html>page</html>"},
                                                {"logo.png", "\x89PNG"},
                                                {"docs/index.html", "<html>docs</html>"},
                                                {"bare/readme.txt", "no index"},
                                                {"two words.html", "<html>spaced</html>"}}) {
            std::filesystem::create_directories(
                std::filesystem::path(Path(relative)).parent_path());
            std::ofstream(Path(relative), std::ios::binary) << content;
        }
        engine_.SetFileAccess(true);
    }
    ~FileResponderTest() override { std::filesystem::remove_all(root_); }
    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
    std::shared_ptr<Transfer> Fetch(const std::string& url, const std::string& method = "GET",
                                    std::size_t maxBodyBytes = 1000) {
        auto transfer = engine_.Start(TransferRequest{url, method, false, 10, 60, maxBodyBytes});
        transfer->WaitFinished();
        return transfer;
    }
    std::string root_;
    CurlTransferEngine engine_;
};

TEST_F(FileResponderTest, AnswersLikeAStaticServerOnlyWhileFileAccessIsOn) {
    const struct {
        const char* path;
        const char* contentType;  // nullptr: not found
        const char* body;
    } cases[] = {{"index.html", "text/html", "<html>home</html>"},
                 {"logo.png", "image/png", "\x89PNG"},
                 {"docs", "text/html", "<html>docs</html>"},
                 {"two%20words.html", "text/html", "<html>spaced</html>"},
                 {"page.htm?v=2#top", "text/html", "<html>page</html>"},
                 {"gone.html", nullptr, ""},
                 {"bare", nullptr, ""},
                 {"page%00.htm", nullptr, ""}};
    for (const auto& c : cases) {
        const auto got = Fetch("file://" + Path(c.path));
        EXPECT_EQ(got->Error(), "") << c.path;
        EXPECT_EQ(got->Header(), c.contentType
                                     ? FileOkHeader(std::string(c.body).size(), c.contentType)
                                     : "HTTP/1.0 404 Not Found\r\n\r\n")
            << c.path;
        EXPECT_EQ(got->Body(), c.body) << c.path;
    }
    // HEAD, a body limit, and only this machine while file access is on.
    EXPECT_EQ(Fetch("file://localhost" + Path("logo.png"), "HEAD")->Header(),
              FileOkHeader(4, "image/png"));
    EXPECT_EQ(Fetch("file://" + Path("index.html"), "GET", 6)->Body(), "<html>");
    EXPECT_EQ(engine_.KnownContentLength("file://localhost" + Path("logo.png")), 4);
    EXPECT_EQ(engine_.KnownContentLength("file://" + Path("index.html")), std::nullopt) << "a page";
    EXPECT_NE(Fetch("file://elsewhere" + Path("index.html"))->Error(), "");
    engine_.SetFileAccess(false);
    const auto off = Fetch("file://" + Path("index.html"));
    EXPECT_NE(off->Error(), "");
    EXPECT_EQ(off->Header(), "");
}

class NetworkTest : public ::testing::Test {
  protected:
    std::shared_ptr<Transfer> Run(TransferRequest request) {
        std::shared_ptr<Transfer> transfer = engine_.Start(std::move(request));
        transfer->WaitFinished();
        return transfer;
    }
    // Navigates and polls as the crawl does until the load ends (the engine's time-outs end it).
    void Show(WebBrowser& browser, const std::string& url) {
        browser.Navigate(url);
        while (browser.ReadyState() != Browser::kReadyStateComplete) {
            std::this_thread::yield();
        }
    }
    test_support::LoopbackHttpServer server_;
    CurlTransferEngine engine_;
};

// Only the final response's header block counts: not an interim 103, not the chunked trailers.
TEST_F(NetworkTest, HeaderIsTheFinalResponsesBlockAsReceived) {
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

TEST_F(NetworkTest, RedirectsAreFollowedOnlyWhenAsked) {
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

TEST_F(NetworkTest, BodyIsKeptUpToItsLimitAndForHtmlOnlyWhenAsked) {
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
    server_.ServePage("/page", std::string(100, 'p'));
    Run(TransferRequest{server_.Url("/page"), "HEAD"});
    EXPECT_EQ(engine_.KnownContentLength(server_.Url("/page")), std::nullopt) << "a page";
}

// A request whose last reference is dropped is cancelled and frees its connection.
TEST_F(NetworkTest, DroppingTheRequestEndsIt) {
    server_.ServeNoReply("/silent");
    {
        const auto dropped = engine_.Start(TransferRequest{server_.Url("/silent")});
        ASSERT_TRUE(server_.WaitForRequest("/silent"));
    }
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
}

TEST_F(NetworkTest, FailureHasNoResponseAndAReason) {
    server_.ServeRaw("/cut", "HTTP/1.1 200 OK\r\nContent-Ty");
    server_.ServeRaw("/noise", "hello there\r\n\r\n");
    for (int i = 1; i <= 3; ++i) {
        server_.ServeRedirect("/" + std::to_string(i), "/" + std::to_string(i + 1));
    }
    for (const auto& [path, reason] : {std::pair{"/cut", "incomplete response"},
                                       {"/noise", "not an HTTP response"},
                                       {"/1", "too many redirects"}}) {
        TransferRequest request{server_.Url(path)};
        request.followRedirects = true;
        request.maxRedirects = 2;
        const auto transfer = Run(request);
        EXPECT_EQ(transfer->Error(), reason) << path;
        EXPECT_FALSE(transfer->HeadersReceived()) << path;
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

// A sleep on the probe's request lasts until its answer (it must come), a sleep on anything else
// (a rate limit's wait) returns at once. `onSleep` runs first, e.g. to release a held answer.
struct AnswerSleeper final : Sleeper, EventPump {
    explicit AnswerSleeper(TransferControl& control) : control(control) {}
    void Sleep(int) override {}
    void SleepUntil(int, Completion& done) override {
        if (onSleep) {
            onSleep();
        }
        if (&done == control.RequestDone().get()) {
            done.WaitFor(30000);
            endedByAnswer += done.Done() ? 1 : 0;
        }
    }
    void PumpEvents() override {}
    std::function<void()> onSleep;
    int endedByAnswer = 0;
    TransferControl& control;
};

class ProbeTest : public NetworkTest {
  protected:
    ProbeTest() { URLChecker::SetInetControl(control_); }
    ~ProbeTest() override { URLChecker::SetInetControl(nullptr); }
    bool Probe(const std::string& url) {
        return URLChecker::IsURLReachable(url, sleeper_, sleeper_);
    }
    std::shared_ptr<EngineTransferControl> control_ =
        std::make_shared<EngineTransferControl>(engine_);
    AnswerSleeper sleeper_{*control_};
};

TEST_F(ProbeTest, TheStatusCodeJudgesWhateverVersionAndReasonPhrase) {
    const struct {
        const char* head;    // the status line HEAD gets
        const char* get;     // nullptr: no GET is sent; "": 200 with a body that never comes
        const char* reason;  // one ending in a blank goes on with the server's origin and "/new"
    } cases[] = {{"HTTP/1.1 200 Ok", nullptr, "200 OK"},
                 {"HTTP/1.1 200", nullptr, "200 OK"},
                 {"HTTP/2 200", nullptr, "200 OK"},
                 {"HTTP/1.1 301 Gone", nullptr, "301 Moved Permanently \u2192 "},
                 {"HTTP/1.1 404 Nope", nullptr, "404 Not Found"},
                 {"HTTP/1.1 299 Odd", nullptr, "299"},
                 {"HTTP/1.1 405 Method Not Allowed", "", "200 OK"},
                 {"HTTP/1.1 501 Not Implemented", "", "200 OK"},
                 {"HTTP/1.1 405 No", "HTTP/1.1 404 X", "404 Not Found"}};
    for (const auto& c : cases) {
        const std::string path = "/" + std::to_string(&c - cases), reason = c.reason;
        server_.ServeInTwoParts(path, "application/pdf", "%PDF", "never sent");
        server_.ServeFor("HEAD", path, HttpResponse{c.head, {{"Location", "/new"}}, ""});
        if (c.get != nullptr && *c.get != '\0') {
            server_.ServeFor("GET", path, HttpResponse{c.get, {}, "x"});
        }
        EXPECT_EQ(Probe(server_.Url(path)), reason == "200 OK") << c.head;
        EXPECT_EQ(URLChecker::LastProbeReason(),
                  reason.back() == ' ' ? reason + server_.Url("/new") : reason);
        EXPECT_EQ(server_.RequestCount("GET", path), c.get == nullptr ? 0 : 1) << c.head;
    }
}

TEST_F(ProbeTest, FailureHasNoStatusAndTheTimeOutBoundsTheProbe) {
    server_.ServePage("/", "<p>home</p>");
    ASSERT_TRUE(Probe(server_.Url("/")));
    EXPECT_FALSE(Probe("mailto:someone@example.test")) << "the last header must not show through";
    EXPECT_NE(URLChecker::LastProbeReason(), "200 OK");
    EXPECT_EQ(URLChecker::LastProbeStatus(), std::nullopt);
    test_support::SilentPort silent;
    URLChecker::SetRequestTimeout(1);
    EXPECT_FALSE(Probe(silent.Url()));
    EXPECT_EQ(URLChecker::LastProbeReason(), "timed out after 1 s");
    URLChecker::SetRequestTimeout(0);
}

TEST_F(ProbeTest, WaitEndsWhenTheAnswerArrivesAndStopCancelsTheRequestInFlight) {
    server_.ServeWhenReleased("/held", HttpResponse{});
    sleeper_.onSleep = [this] { server_.Release("/held"); };
    EXPECT_TRUE(Probe(server_.Url("/held")));
    EXPECT_EQ(sleeper_.endedByAnswer, 1);
    server_.ServeNoReply("/hang");
    sleeper_.onSleep = [this] {
        ASSERT_TRUE(server_.WaitForRequest("/hang"));
        URLChecker::Stop();
    };
    EXPECT_FALSE(Probe(server_.Url("/hang")));
    EXPECT_EQ(URLChecker::LastProbeReason(), "stopped");
    EXPECT_EQ(sleeper_.endedByAnswer, 2);
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
    EXPECT_FALSE(Probe(server_.Url("/other")));
    EXPECT_EQ(server_.RequestCount(), 2) << "no request after Stop";
}

// The address shown (the one answered from, or the error page), its title, and the reason of a
// failed load; a wait on the load ends with it.
TEST_F(NetworkTest, PageLoadShowsTheAnswerOrTheReasonOfAFailure) {
    WebBrowser browser(engine_);
    for (int i = 0; i < 11; ++i) {
        server_.ServeRedirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
    }
    server_.ServePage("/r11", "<title>End</title>");
    server_.ServeFile("/report.pdf", "application/pdf", "<title>PDF</title>");
    server_.ServeFile("/jp.html", "text/html; charset=Shift_JIS",
                      "<title>\x83\x65\x83\x58</title>");
    test_support::RefusingPort nobody;
    const std::string error = "about:neterror Page not loaded ";
    for (const auto& [url, expected] : std::initializer_list<std::pair<std::string, std::string>>{
             {server_.Url("/r1"), server_.Url("/r11") + " End "},  // ten redirects are followed
             {server_.Url("/r0"), error + "too many redirects"},   // eleven are not
             {server_.Url("/missing"), error + "404 Not Found"},
             {server_.Url("/report.pdf"), server_.Url("/report.pdf") + "  "},  // not parsed
             {server_.Url("/jp.html"), server_.Url("/jp.html") + " \xE3\x83\x86\xE3\x82\xB9 "},
             {nobody.Url(), error + "connection refused"},
             {"javascript:void(0)", error + "bad URL: "},
             {"", error + "bad URL: "}}) {
        Show(browser, url);
        const std::string shown = browser.LocationURL() + " " + browser.GetDocument()->title + " " +
                                  browser.LoadFailureReason();
        EXPECT_EQ(shown.substr(0, expected.size()),
                  expected)  // libcurl's own words after "bad URL"
            << url;
    }
    server_.ServeNoReply("/hang");
    browser.Navigate(server_.Url("/hang"));
    const std::shared_ptr<Completion> done = browser.LoadDone();
    browser.Stop();
    done->WaitFor(30000);
    EXPECT_TRUE(done->Done());
    EXPECT_EQ(browser.LoadFailureReason(), "stopped");
    EXPECT_EQ(browser.LocationURL(), WebBrowser::kErrorPageUrl);
}

TEST_F(NetworkTest, ImageSizeFromHeadOrFromTheBodyOnceOrMinusOne) {
    EngineFileSizeSource sizes{engine_};
    server_.ServeFile("/big.png", "image/png", std::string(20000, 'p'));
    server_.ServeRaw("/stream.jpg",
                     "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n\r\n" +
                         std::string(12345, 'j'));
    server_.ServeRedirect("/old.png", "/big.png");
    server_.ServeStatusLine("/error.png", "HTTP/1.1 500 Internal Server Error");
    server_.ServeFile("/seen.gif", "image/gif", std::string(4321, 'g'));
    Run(TransferRequest{server_.Url("/seen.gif"), "HEAD"});
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/seen.gif")), "4321");
    EXPECT_EQ(server_.RequestCount(), 1) << "none for a length the engine saw";
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/big.png")), "20000");
    EXPECT_EQ(server_.RequestCount("GET", "/big.png"), 0);
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/stream.jpg")), "12345");
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/old.png")), "20000");
    for (const std::string& url : {server_.Url("/missing.png"), server_.Url("/error.png"),
                                   std::string("not a url"), std::string()}) {
        EXPECT_EQ(sizes.FileSizeOf(url), "-1") << url;
    }
    const int asked = server_.RequestCount();
    server_.ServeFile("/big.png", "image/png", "changed");
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/big.png")), "20000");
    sizes.Detach();
    EXPECT_EQ(sizes.FileSizeOf(server_.Url("/new.png")), "-1");  // a detached source asks nothing
    EXPECT_EQ(server_.RequestCount(), asked) << "one request per URL";
}

TEST_F(NetworkTest, BrowserDocumentsTellTheirImagesSizesWhileTheBrowserLives) {
    server_.ServePage("/page.html", "<img src='pic.png'>");
    server_.ServeFile("/pic.png", "image/png", std::string(15000, 'x'));
    std::shared_ptr<const Document> document;
    {
        WebBrowser browser(engine_);
        Show(browser, server_.Url("/page.html"));
        document = browser.GetDocument();
        ASSERT_EQ(document->images.size(), 1u);
        EXPECT_EQ(document->images[0].fileSize(), "15000");
    }
    server_.ServeFile("/pic2.png", "image/png", "x");
    ImageElement later = document->images[0];
    later.src = server_.Url("/pic2.png");
    EXPECT_EQ(later.fileSize(), "-1") << "the browser is gone";
}

}  // namespace
}  // namespace quill::platform
