// The look-ahead over an engine whose requests the test answers by hand: what it sends and in
// which order, within which limits, and how the walk's probe and browser are served from it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "crawl/lookahead.h"
#include "platform/html_document_builder.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"

namespace quill {
namespace {

using platform::Transfer;
using platform::TransferRequest;
using testing::Contains;
using testing::ElementsAre;
using testing::Not;

// Every request is kept; the test answers them.
class ManualEngine final : public platform::TransferEngine {
  public:
    std::shared_ptr<Transfer> Start(TransferRequest request) override {
        auto transfer = std::make_shared<Transfer>(std::move(request));
        transfer->MarkStarted(kEpoch);
        std::lock_guard lock(mutex_);
        started_.push_back(transfer);
        return transfer;
    }
    void SetFileAccess(bool) override {}
    bool FileAccess() const override { return false; }
    std::optional<long long> KnownContentLength(const std::string&) const override {
        return std::nullopt;
    }

    // "HEAD url", "GET url"; a request that follows redirects reads "GET> url".
    static std::string Describe(const TransferRequest& request) {
        return request.method + (request.followRedirects ? "> " : " ") + request.url;
    }
    // Every request, in the order sent.
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> requests;
        for (const auto& transfer : started_) {
            requests.push_back(Describe(transfer->Request()));
        }
        return requests;
    }
    // The nth request sent as Describe writes it.
    std::shared_ptr<Transfer> Sent(const std::string& request, int nth = 0) const {
        std::lock_guard lock(mutex_);
        for (const auto& transfer : started_) {
            if (Describe(transfer->Request()) == request && nth-- == 0) {
                return transfer;
            }
        }
        ADD_FAILURE() << "not sent: " << request;
        return std::make_shared<Transfer>(TransferRequest{});
    }
    int InFlight() const {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (const auto& transfer : started_) {
            count += transfer->Finished() ? 0 : 1;
        }
        return count;
    }

    // Every request starts at kEpoch, so a transfer answered at kEpoch + d took d.
    static constexpr Transfer::TimePoint kEpoch{std::chrono::hours(1)};

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Transfer>> started_;
};

void Answer(Transfer& transfer, const std::string& statusLine,
            std::vector<std::string> headers = {}, const std::string& body = "",
            std::chrono::milliseconds took = std::chrono::milliseconds(20)) {
    const int status = std::stoi(statusLine.substr(9, 3));
    std::string contentType;
    for (const std::string& header : headers) {
        if (header.rfind("Content-Type: ", 0) == 0) {
            contentType = header.substr(14);
        }
    }
    transfer.BeginResponse(statusLine + "\r\n");
    for (const std::string& header : headers) {
        transfer.AppendHeaderLine(header + "\r\n");
    }
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(status, transfer.Request().url, contentType,
                        static_cast<long long>(body.size()), true);
    if (transfer.Request().method == "GET") {
        transfer.AppendBody(body.data(), body.size());
    }
    transfer.Finish(ManualEngine::kEpoch + took);
}

void AnswerPage(Transfer& transfer, const std::string& html) {
    Answer(transfer, "HTTP/1.1 200 OK", {"Content-Type: text/html"}, html);
}

class ManualClock final : public platform::Clock {
  public:
    TimePoint Now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    int UtcDayOfMonth() const override { return 15; }
    void Advance(std::chrono::milliseconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
    }

  private:
    mutable std::mutex mutex_;
    TimePoint now_{std::chrono::hours(5)};
};

constexpr char kStart[] = "http://site/a.html";

WalkSettings Settings() {
    WalkSettings settings;
    settings.scope.baseURL = "http://site/";
    settings.scope.followExternal = true;
    return settings;
}

class LookAheadTest : public testing::Test {
  protected:
    void MakeLookAhead(LookAheadLimits limits) {
        lookAhead = std::make_unique<LookAhead>(engine, clock, limits);
        browser = std::make_unique<platform::WebBrowser>(*lookAhead, clock);
        probe = std::make_unique<platform::EngineTransferControl>(*lookAhead);
    }
    void StartRun(const std::string& url = kStart, WalkSettings settings = Settings()) {
        lookAhead->RunStarted(url, settings);
        lookAhead->WaitUntilSettled();
    }
    ~LookAheadTest() override {
        browser.reset();
        if (lookAhead) {
            lookAhead->RunEnded();
        }
    }
    // Answers a request the look-ahead sent and lets it take the answer in.
    void Reply(const std::string& request, const std::string& statusLine = "HTTP/1.1 200 OK",
               std::vector<std::string> headers = {}) {
        Answer(*engine.Sent(request), statusLine, std::move(headers));
        lookAhead->WaitUntilSettled();
    }
    void ReplyPage(const std::string& url, const std::string& html) {
        AnswerPage(*engine.Sent("GET " + url), html);
        lookAhead->WaitUntilSettled();
    }

    ManualEngine engine;
    ManualClock clock;
    std::unique_ptr<LookAhead> lookAhead;
    std::unique_ptr<platform::WebBrowser> browser;
    std::unique_ptr<platform::EngineTransferControl> probe;
};

class LookAheadWithDefaults : public LookAheadTest {
  protected:
    LookAheadWithDefaults() { MakeLookAhead({}); }
};

// --- what is fetched, how and when -----------------------------------------------------------

TEST_F(LookAheadWithDefaults, StartFetchesTheStartPagesProbeAndPage) {
    StartRun();
    EXPECT_THAT(engine.Requests(),
                ElementsAre("HEAD http://site/a.html", "GET http://site/a.html"));
    const TransferRequest& get = engine.Sent("GET http://site/a.html")->Request();
    EXPECT_FALSE(get.followRedirects);
    EXPECT_TRUE(get.htmlBodyOnly);
    EXPECT_EQ(get.maxBodyBytes, platform::WebBrowser::kMaxHtmlBytes);
    EXPECT_EQ(engine.Sent("HEAD http://site/a.html")->Request().timeoutSeconds,
              platform::EngineTransferControl::kRequestTimeoutSeconds);
}

TEST_F(LookAheadWithDefaults, StartPageWithAFragmentIsLoadedWithoutProbe) {
    StartRun("http://site/a.html#top");
    EXPECT_THAT(engine.Requests(), ElementsAre("GET http://site/a.html"));
}

TEST_F(LookAheadWithDefaults, FetchedPageIsWorkedOutAndLookedAheadInWalkOrder) {
    StartRun();
    ReplyPage(kStart,
              "<a href=b.html>b</a><img src=i.png><a href=#x>x</a><a href=c.html#p>c</a>"
              "<a href=http://other/e.html>e</a><script src=s.js></script>");
    EXPECT_THAT(
        engine.Requests(),
        ElementsAre("HEAD http://site/a.html", "GET http://site/a.html", "HEAD http://site/i.png",
                    "HEAD http://site/s.js", "HEAD http://site/b.html", "GET http://site/b.html",
                    "GET http://site/c.html", "HEAD http://other/e.html"));
}

TEST_F(LookAheadWithDefaults, NothingIsFetchedTwice) {
    StartRun();
    ReplyPage(kStart, "<a href=b.html>b</a><a href=c.html>c</a><img src=i.png>");
    ReplyPage("http://site/b.html", "<img src=i.png><a href=a.html>a</a><a href=c.html>c</a>");
    ReplyPage("http://site/c.html", "<img src=i.png><a href=b.html>b</a>");
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "HEAD http://site/i.png", "HEAD http://site/b.html",
                                               "GET http://site/b.html", "HEAD http://site/c.html",
                                               "GET http://site/c.html"));
}

TEST_F(LookAheadWithDefaults, ChangedSettingsApplyToPagesWorkedOutAfterwards) {
    StartRun();
    WalkSettings settings = Settings();
    settings.images = false;
    lookAhead->SettingsChanged(settings);
    ReplyPage(kStart, "<img src=i.png><a href=b.html>b</a>");
    EXPECT_THAT(engine.Requests(), Not(Contains("HEAD http://site/i.png")));
}

TEST_F(LookAheadWithDefaults, ThePageTheWalkWalksIsPlannedWithItsKnowledge) {
    StartRun();
    // The walk meets a page the look-ahead has not worked out (its answer is still due).
    const auto document = std::make_shared<platform::Document>(
        platform::BuildHtmlDocument("<img src=known.png><img src=new.png>", kStart));
    lookAhead->PageWalked(*document, kStart, 1, Settings(),
                          [](const std::string& url) { return url == "http://site/known.png"; });
    lookAhead->WaitUntilSettled();
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "HEAD http://site/new.png"));
}

TEST_F(LookAheadTest, FollowsTheWalksDepthFirstOrder) {
    // Two connections to the host: one for the look-ahead, one kept for the walk.
    MakeLookAhead(LookAheadLimits{128, 2, 1 << 20});
    StartRun();
    Reply("HEAD http://site/a.html");
    ReplyPage("http://site/a.html", "<a href=b.html>b</a><a href=c.html>c</a>");
    Reply("HEAD http://site/b.html");
    ReplyPage("http://site/b.html", "<a href=d.html>d</a>");
    Reply("HEAD http://site/d.html");
    ReplyPage("http://site/d.html", "");
    Reply("HEAD http://site/c.html");
    EXPECT_THAT(
        engine.Requests(),
        ElementsAre("HEAD http://site/a.html", "GET http://site/a.html", "HEAD http://site/b.html",
                    "GET http://site/b.html", "HEAD http://site/d.html", "GET http://site/d.html",
                    "HEAD http://site/c.html", "GET http://site/c.html"));
}

// Every host in scope: pages of the other host are followed too.
WalkSettings EveryHostInScope() {
    WalkSettings settings = Settings();
    settings.scope.baseURL = "";
    return settings;
}

TEST_F(LookAheadWithDefaults, RehearsalPutsWhatTheWalkNeedsNextFirst) {
    // Pages of the other host wait behind its Retry-After, so the queue can be read.
    StartRun(kStart, EveryHostInScope());
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, "<img src=http://other/z.png><a href=b.html>b</a><a href=c.html>c</a>");
    Reply("HEAD http://other/z.png", "HTTP/1.1 429 Too Many Requests", {"Retry-After: 100"});
    // c.html arrives before b.html, which links to it: the walk goes a, b, c, and c's links come
    // before b's next one, d.html, which the look-ahead had met first.
    ReplyPage("http://site/c.html", "<a href=http://other/x.html>x</a>");
    ReplyPage("http://site/b.html", "<a href=c.html>c</a><a href=http://other/d.html>d</a>");
    EXPECT_THAT(lookAhead->QueueForTesting(),
                ElementsAre("HEAD http://other/z.png", "HEAD http://other/d.html",
                            "GET http://other/d.html", "HEAD http://other/x.html",
                            "GET http://other/x.html"));

    // Once the probes say the pages are good, the rehearsal walks a, b, c and reaches x.html.
    Reply("HEAD http://site/b.html");
    Reply("HEAD http://site/c.html");
    EXPECT_THAT(lookAhead->QueueForTesting(),
                ElementsAre("HEAD http://other/z.png", "HEAD http://other/x.html",
                            "GET http://other/x.html", "HEAD http://other/d.html",
                            "GET http://other/d.html"));
}

TEST_F(LookAheadWithDefaults, RehearsalLeavesOutWhatTheWalkWillNotFollow) {
    StartRun(kStart, EveryHostInScope());
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, "<img src=http://other/z.png><a href=gone.html>g</a><a href=c.html>c</a>");
    Reply("HEAD http://other/z.png", "HTTP/1.1 429 Too Many Requests", {"Retry-After: 100"});
    ReplyPage("http://site/gone.html", "<a href=http://other/x.html>x</a>");
    ReplyPage("http://site/c.html", "<a href=http://other/y.html>y</a>");
    // gone.html's probe fails, so the walk never walks it: c.html's links go first.
    Reply("HEAD http://site/gone.html", "HTTP/1.1 404 Not Found");
    Reply("HEAD http://site/c.html");
    EXPECT_THAT(lookAhead->QueueForTesting(),
                ElementsAre("HEAD http://other/z.png", "HEAD http://other/y.html",
                            "GET http://other/y.html", "HEAD http://other/x.html",
                            "GET http://other/x.html"));
}

TEST_F(LookAheadTest, RequestsInFlightStayWithinTheConnections) {
    // Four connections in all, one of them kept for the walk.
    MakeLookAhead(LookAheadLimits{4, 32, 1 << 20});
    StartRun();
    std::string html;
    for (int i = 0; i < 10; ++i) {
        html += "<img src=http://host" + std::to_string(i) + "/i.png>";
    }
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, html);
    EXPECT_EQ(engine.InFlight(), 3);
    EXPECT_EQ(engine.Requests().size(), 5u);
}

TEST_F(LookAheadTest, RequestsToOneHostStayWithinItsConnections) {
    MakeLookAhead(LookAheadLimits{128, 3, 1 << 20});
    StartRun();
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, "<img src=1.png><img src=2.png><img src=3.png><img src=http://other/4.png>");
    // Two to the site (its third connection is the walk's), one to the other host.
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "HEAD http://site/1.png", "HEAD http://site/2.png",
                                               "HEAD http://other/4.png"));
}

// --- serving the walk ------------------------------------------------------------------------

TEST_F(LookAheadWithDefaults, FinishedAnswersServeTheWalkAtTheFirstReading) {
    StartRun();
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, "<title>Page A</title>");
    probe->Execute(kStart, "HEAD");
    EXPECT_FALSE(probe->StillExecuting());
    EXPECT_EQ(probe->GetHeader().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    browser->Navigate(kStart);  // completes inside Navigate
    EXPECT_EQ(browser->ReadyState(), platform::Browser::kReadyStateComplete);
    EXPECT_EQ(browser->LocationURL(), kStart);
    EXPECT_EQ(browser->GetDocument()->title, "Page A");
    EXPECT_EQ(engine.Requests().size(), 2u);
    EXPECT_EQ(lookAhead->Statistics().served, 2);
}

TEST_F(LookAheadWithDefaults, RequestsInFlightAreJoinedAndNeverSentTwice) {
    StartRun();
    probe->Execute(kStart, "HEAD");
    browser->Navigate(kStart);
    EXPECT_TRUE(probe->StillExecuting());
    EXPECT_NE(browser->ReadyState(), platform::Browser::kReadyStateComplete);
    Reply("HEAD http://site/a.html");
    EXPECT_FALSE(probe->StillExecuting());
    EXPECT_EQ(probe->GetHeader().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    ReplyPage(kStart, "<title>Joined</title>");
    EXPECT_EQ(browser->ReadyState(), platform::Browser::kReadyStateComplete);
    EXPECT_EQ(browser->GetDocument()->title, "Joined");
    EXPECT_THAT(engine.Requests(),
                ElementsAre("HEAD http://site/a.html", "GET http://site/a.html"));
    EXPECT_EQ(lookAhead->Statistics().joined, 2);
}

TEST_F(LookAheadWithDefaults, RateLimitedAnswerMakesTheWalkSendItsOwn) {
    StartRun();
    Reply("HEAD http://site/a.html", "HTTP/1.1 429 Too Many Requests", {"Retry-After: 30"});
    probe->Execute(kStart, "HEAD");
    EXPECT_TRUE(probe->StillExecuting());
    Answer(*engine.Sent("HEAD http://site/a.html", 1), "HTTP/1.1 200 OK");
    EXPECT_FALSE(probe->StillExecuting());
    EXPECT_EQ(probe->GetHeader().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

TEST_F(LookAheadWithDefaults, JoinedRequestAnswered503SendsTheWalksOwn) {
    StartRun();
    probe->Execute(kStart, "HEAD");
    Reply("HEAD http://site/a.html", "HTTP/1.1 503 Service Unavailable");
    EXPECT_TRUE(probe->StillExecuting());
    ASSERT_EQ(engine.Requests().size(), 3u);
    Answer(*engine.Sent("HEAD http://site/a.html", 1), "HTTP/1.1 404 Not Found");
    lookAhead->WaitUntilSettled();
    EXPECT_FALSE(probe->StillExecuting());
    EXPECT_EQ(probe->GetHeader().rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
}

TEST_F(LookAheadWithDefaults, RetryAfterHoldsTheHostBackUntilItHasPassed) {
    StartRun();
    Reply("HEAD http://site/a.html", "HTTP/1.1 429 Too Many Requests", {"Retry-After: 5"});
    ReplyPage(kStart, "<a href=b.html>b</a>");
    EXPECT_EQ(engine.Requests().size(), 2u);  // b.html waits, and the probe's second try too

    clock.Advance(std::chrono::milliseconds(4900));
    lookAhead->SettingsChanged(Settings());
    lookAhead->WaitUntilSettled();
    EXPECT_EQ(engine.Requests().size(), 2u);

    clock.Advance(std::chrono::milliseconds(100));
    lookAhead->SettingsChanged(Settings());
    lookAhead->WaitUntilSettled();
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "HEAD http://site/a.html", "HEAD http://site/b.html",
                                               "GET http://site/b.html"));
    EXPECT_EQ(lookAhead->Statistics().retried, 1);
}

TEST_F(LookAheadWithDefaults, RedirectedPageIsLoadedByTheBrowserItself) {
    StartRun();
    Reply("GET http://site/a.html", "HTTP/1.1 301 Moved Permanently",
          {"Location: http://site/new.html"});
    browser->Navigate(kStart);
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "GET> http://site/a.html"));
}

TEST_F(LookAheadWithDefaults, RequestsTheLookAheadDoesNotMakeGoStraightToTheNetwork) {
    StartRun();
    TransferRequest followingHead = platform::EngineTransferControl::RequestFor(kStart, "HEAD");
    followingHead.followRedirects = true;  // as the image size lookup asks
    lookAhead->Start(followingHead);
    EXPECT_THAT(engine.Requests(), ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                                               "HEAD> http://site/a.html"));
}

TEST_F(LookAheadTest, PageTheWalkNeedsBeforeItIsSentIsTheWalksOwn) {
    MakeLookAhead(LookAheadLimits{128, 2, 1 << 20});  // one request to the site at a time
    StartRun();
    browser->Navigate(kStart);  // its GET still waits behind the probe
    Reply("HEAD http://site/a.html");
    EXPECT_THAT(engine.Requests(),
                ElementsAre("HEAD http://site/a.html", "GET> http://site/a.html"));
    EXPECT_EQ(lookAhead->Statistics().own, 1);
}

// --- load times ------------------------------------------------------------------------------

TEST_F(LookAheadWithDefaults, LoadTimeIsTheServedRequestsOwnDurationOrNone) {
    StartRun();
    Answer(*engine.Sent("HEAD http://site/a.html"), "HTTP/1.1 200 OK", {}, "",
           std::chrono::milliseconds(1200));
    Answer(*engine.Sent("GET http://site/a.html"), "HTTP/1.1 200 OK", {"Content-Type: text/html"},
           "<p>", std::chrono::milliseconds(900));
    lookAhead->WaitUntilSettled();

    const std::uint64_t nothing = lookAhead->MarkRequests();
    EXPECT_EQ(lookAhead->ServedSeconds(nothing), std::nullopt);

    const std::uint64_t mark = lookAhead->MarkRequests();
    probe->Execute(kStart, "HEAD");
    browser->Navigate(kStart);
    EXPECT_EQ(lookAhead->ServedSeconds(mark), 2);  // 1.2 s + 0.9 s, in whole seconds

    // Once the walk has sent a request of its own, it measures the time itself.
    const std::uint64_t own = lookAhead->MarkRequests();
    probe->Execute("http://site/unplanned.png", "HEAD");
    EXPECT_EQ(lookAhead->ServedSeconds(own), std::nullopt);
}

// --- runs, stops and bounds ------------------------------------------------------------------

TEST_F(LookAheadWithDefaults, StartEmptiesWhatAnEarlierRunFetched) {
    StartRun();
    Reply("HEAD http://site/a.html");
    lookAhead->RunEnded();
    StartRun();
    probe->Execute(kStart, "HEAD");
    EXPECT_TRUE(probe->StillExecuting());
    EXPECT_THAT(engine.Requests(),
                ElementsAre("HEAD http://site/a.html", "GET http://site/a.html",
                            "HEAD http://site/a.html", "GET http://site/a.html"));
}

TEST_F(LookAheadWithDefaults, RunEndCancelsEverythingInFlight) {
    StartRun();
    const auto head = engine.Sent("HEAD http://site/a.html");
    lookAhead->RunEnded();
    EXPECT_TRUE(head->CancelRequested());
    probe->Execute(kStart, "HEAD");  // outside a run: straight to the network
    EXPECT_EQ(engine.Requests().size(), 3u);
}

TEST_F(LookAheadWithDefaults, StopCancelsAndSendsNothingMore) {
    StartRun();
    Reply("HEAD http://site/a.html");
    const auto get = engine.Sent("GET http://site/a.html");
    WalkSettings stopped = Settings();
    stopped.running = false;
    lookAhead->SettingsChanged(stopped);
    lookAhead->WaitUntilSettled();
    EXPECT_TRUE(get->CancelRequested());
    AnswerPage(*get, "<a href=b.html>b</a>");
    lookAhead->WaitUntilSettled();
    EXPECT_EQ(engine.Requests().size(), 2u);
    // What had arrived still serves the walk.
    probe->Execute(kStart, "HEAD");
    EXPECT_FALSE(probe->StillExecuting());
}

TEST_F(LookAheadTest, BodiesBeyondTheBudgetWaitUntilTheWalkHasUsedSome) {
    const std::string body = "<a href=b.html>b</a><a href=c.html>c</a>" + std::string(40, ' ');
    MakeLookAhead(LookAheadLimits{128, 2, 100});  // one request at a time, 100 bytes of pages
    StartRun();
    Reply("HEAD http://site/a.html");
    ReplyPage(kStart, body);  // 80 bytes held
    Reply("HEAD http://site/b.html");
    ReplyPage("http://site/b.html", body);  // 160: over the budget
    Reply("HEAD http://site/c.html");
    EXPECT_THAT(engine.Requests(), Not(Contains("GET http://site/c.html")));

    browser->Navigate(kStart);  // the walk has used a.html's page: it makes room
    EXPECT_EQ(browser->ReadyState(), platform::Browser::kReadyStateComplete);
    lookAhead->WaitUntilSettled();
    EXPECT_THAT(engine.Requests(), Contains("GET http://site/c.html"));

    browser->Navigate(kStart);  // dropped: the browser's own request
    EXPECT_THAT(engine.Requests(), Contains("GET> http://site/a.html"));
}

}  // namespace
}  // namespace quill
