// The browser over a scripted engine whose transfers the test answers by hand: what it asks the
// engine for, its ready states, when the address changes, partial and cut-off bodies, what the
// observer hears, abandoned loads, load durations and offline mode.
#include "platform/web_browser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quill::platform {
namespace {

// Every request is kept for the test to answer.
class ScriptedEngine : public TransferEngine {
  public:
    std::shared_ptr<Transfer> Start(TransferRequest request) override {
        auto transfer = std::make_shared<Transfer>(std::move(request));
        transfer->MarkStarted(std::chrono::steady_clock::now());
        started.push_back(transfer);
        return transfer;
    }
    void SetFileAccess(bool) override {}
    bool FileAccess() const override { return false; }
    std::optional<long long> KnownContentLength(const std::string&) const override {
        return std::nullopt;
    }

    std::shared_ptr<Transfer> Last() const { return started.back(); }

    std::vector<std::shared_ptr<Transfer>> started;
};

class ManualClock : public Clock {
  public:
    TimePoint Now() const override { return now; }
    int UtcDayOfMonth() const override { return 1; }
    TimePoint now{std::chrono::hours(1)};
};

void AnswerHeaders(Transfer& transfer, int status, const std::string& effectiveUrl,
                   const std::string& contentType = "text/html") {
    transfer.BeginResponse("HTTP/1.1 " + std::to_string(status) + " Whatever\r\n");
    transfer.AppendHeaderLine("Content-Type: " + contentType + "\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(status, effectiveUrl, contentType, std::nullopt, true);
}

void AppendBody(Transfer& transfer, const std::string& text) {
    transfer.AppendBody(text.data(), text.size());
}

void Finish(Transfer& transfer, const std::string& error = "") {
    transfer.Finish(std::chrono::steady_clock::now(), error);
}

void AnswerPage(Transfer& transfer, const std::string& effectiveUrl, const std::string& html) {
    AnswerHeaders(transfer, 200, effectiveUrl);
    AppendBody(transfer, html);
    Finish(transfer);
}

struct Heard {
    std::string what;
    std::string location;
    std::string html;
    bool operator==(const Heard&) const = default;
};

class RecordingObserver : public BrowserObserver {
  public:
    void LoadCommitted(const std::string& locationUrl) override {
        heard.push_back({"committed", locationUrl, ""});
    }
    void LoadCompleted(const std::string& locationUrl, const std::string& html) override {
        heard.push_back({"completed", locationUrl, html});
    }
    std::vector<Heard> heard;
};

class WebBrowserTest : public ::testing::Test {
  protected:
    ScriptedEngine engine;
    ManualClock clock;
    WebBrowser browser{engine, clock};
};

// --- what is asked of the engine ---

TEST_F(WebBrowserTest, PageLoadIsAGetFollowingRedirectsForHtmlOnly) {
    browser.Navigate("http://site.example/a.html#part");
    ASSERT_EQ(engine.started.size(), 1u);
    const TransferRequest& request = engine.Last()->Request();
    EXPECT_EQ(request.url, "http://site.example/a.html");
    EXPECT_EQ(request.method, "GET");
    EXPECT_TRUE(request.followRedirects);
    EXPECT_EQ(request.maxRedirects, 10);
    EXPECT_EQ(request.maxBodyBytes, std::size_t{32} * 1024 * 1024);
    EXPECT_TRUE(request.htmlBodyOnly);
    EXPECT_EQ(request.timeoutSeconds, 60);

    browser.SetLoadTimeoutSeconds(120);
    browser.Navigate("http://site.example/");
    EXPECT_EQ(engine.Last()->Request().timeoutSeconds, 120);
}

// --- ready state, address and document through one load ---

TEST_F(WebBrowserTest, LoadGoesFromLoadingToInteractiveToComplete) {
    EXPECT_EQ(browser.ReadyState(), 4);  // complete on an empty page before any load
    EXPECT_TRUE(browser.GetDocument()->IsHtml());
    browser.Navigate("http://site.example/first.html");
    AnswerPage(*engine.Last(), "http://site.example/first.html", "<title>First</title>");
    ASSERT_EQ(browser.ReadyState(), 4);

    browser.Navigate("http://site.example/second.html");
    EXPECT_EQ(browser.ReadyState(), 1);
    // The old page stays until the new one commits.
    EXPECT_EQ(browser.LocationURL(), "http://site.example/first.html");
    EXPECT_EQ(browser.GetDocument()->title, "First");

    Transfer& transfer = *engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/second.html");
    EXPECT_EQ(browser.ReadyState(), 3);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/second.html");

    AppendBody(transfer, "<title>Second</title><a href=one.html>1</a>");
    const auto partial = browser.GetDocument();
    EXPECT_EQ(partial->title, "Second");
    EXPECT_EQ(partial->links.size(), 1u);
    EXPECT_EQ(browser.GetDocument(), partial) << "parsed again only when more has arrived";
    EXPECT_EQ(browser.ReadyState(), 3);

    AppendBody(transfer, "<a href=two.html>2</a>");
    EXPECT_EQ(browser.GetDocument()->links.size(), 2u);
    Finish(transfer);
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(browser.GetDocument()->links.size(), 2u);
    EXPECT_EQ(browser.GetDocument()->url, "http://site.example/second.html");
}

TEST_F(WebBrowserTest, BodyCutShortIsShownAsItCame) {
    browser.Navigate("http://site.example/p.html");
    Transfer& transfer = *engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/p.html");
    AppendBody(transfer, "<a href=kept.html>kept</a><a href=");
    Finish(transfer, "Connection reset");
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/p.html");
    ASSERT_EQ(browser.GetDocument()->links.size(), 1u);
}

// --- the address shown ---

struct LocationCase {
    const char* name;
    const char* navigated;
    const char* answered;  // the engine's effective URL
    const char* expected;
};

class WebBrowserLocation : public WebBrowserTest,
                           public ::testing::WithParamInterface<LocationCase> {};

TEST_P(WebBrowserLocation, FollowsTheSpellingRules) {
    const LocationCase& c = GetParam();
    browser.Navigate(c.navigated);
    AnswerPage(*engine.Last(), c.answered, "<p>");
    EXPECT_EQ(browser.LocationURL(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebBrowserLocation,
    ::testing::Values(LocationCase{"AsNavigated", "http://h.example/a.html",
                                   "http://h.example/a.html", "http://h.example/a.html"},
                      LocationCase{"DefaultPortKept", "http://h.example:80/a", "http://h.example/a",
                                   "http://h.example:80/a"},
                      LocationCase{"RedirectedToAnotherPath", "http://h.example/old",
                                   "http://h.example/new/", "http://h.example/new/"},
                      LocationCase{"RedirectKeepsOriginalFragment", "http://h.example/old#s",
                                   "http://h.example/new", "http://h.example/new#s"},
                      LocationCase{"RedirectsOwnFragmentWins", "http://h.example/old#s",
                                   "http://h.example/new#t", "http://h.example/new#t"},
                      LocationCase{"RedirectedToOtherQuery", "http://h.example/a?x=1",
                                   "http://h.example/a?x=2", "http://h.example/a?x=2"}),
    [](const auto& info) { return info.param.name; });

// --- failed loads and special pages ---

struct FailureCase {
    const char* name;
    int status;         // 0: no response at all
    const char* error;  // the engine's error
};

class WebBrowserFailure : public WebBrowserTest,
                          public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WebBrowserFailure, EndsOnTheErrorPage) {
    const FailureCase& c = GetParam();
    browser.Navigate("http://site.example/p.html");
    Transfer& transfer = *engine.Last();
    if (c.status != 0) {
        AnswerHeaders(transfer, c.status, "http://site.example/p.html");
        AppendBody(transfer, "<a href=x>x</a>");
    }
    Finish(transfer, c.error);
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    const auto document = browser.GetDocument();
    EXPECT_TRUE(document->IsHtml());
    EXPECT_EQ(document->title, "Page not loaded");
    EXPECT_TRUE(document->links.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebBrowserFailure,
    ::testing::Values(FailureCase{"NotFound", 404, ""}, FailureCase{"ServerError", 500, ""},
                      FailureCase{"NoConnection", 0, "Couldn't connect to server"},
                      FailureCase{"NoResponseNoError", 0, ""}),
    [](const auto& info) { return info.param.name; });

// Neither an error page's body nor a non-HTML body is downloaded.
TEST_F(WebBrowserTest, ErrorStatusOrNonHtmlIsCompleteOnItsHeaders) {
    for (const auto& [status, type] : {std::pair{404, "text/html"}, std::pair{200, "image/png"}}) {
        browser.Navigate("http://site.example/thing");
        const auto transfer = engine.Last();
        AnswerHeaders(*transfer, status, "http://site.example/thing", type);
        EXPECT_EQ(browser.ReadyState(), 4) << type;
        EXPECT_TRUE(transfer->CancelRequested()) << type;
    }
    EXPECT_EQ(browser.LocationURL(), "http://site.example/thing");
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
}

TEST_F(WebBrowserTest, NewNavigateAbandonsTheLoadInProgress) {
    browser.Navigate("http://site.example/slow.html");
    const auto slow = engine.Last();
    browser.Navigate("http://site.example/fast.html");
    EXPECT_TRUE(slow->CancelRequested());
    AnswerPage(*engine.Last(), "http://site.example/fast.html", "<title>Fast</title>");
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(browser.GetDocument()->title, "Fast");
}

TEST_F(WebBrowserTest, OfflineFailsWebPagesWithoutAskingTheEngine) {
    browser.SetOffline(true);
    browser.Navigate("https://site.example/");
    EXPECT_TRUE(engine.started.empty());
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    browser.Navigate("file:///srv/index.html");
    EXPECT_EQ(engine.started.size(), 1u);
    browser.SetOffline(false);
    browser.Navigate("http://site.example/");
    EXPECT_EQ(engine.started.size(), 2u);
}

// --- the observer ---

TEST_F(WebBrowserTest, ObserverHearsCommitThenCompletionWithTheHtml) {
    RecordingObserver observer;
    browser.SetObserver(&observer);
    browser.Navigate("http://site.example/p.html");
    EXPECT_TRUE(observer.heard.empty()) << "nothing has happened yet";
    Transfer& transfer = *engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/p.html");
    AppendBody(transfer, "<p>caf\xC3\xA9");
    EXPECT_TRUE(observer.heard.empty()) << "told only when the browser is asked";
    browser.ReadyState();
    Finish(transfer);
    browser.LocationURL();
    browser.GetDocument();
    EXPECT_EQ(observer.heard,
              (std::vector<Heard>{{"committed", "http://site.example/p.html", ""},
                                  {"completed", "http://site.example/p.html", "<p>caf\xC3\xA9"}}));
}

TEST_F(WebBrowserTest, ObserverHearsTheErrorPageAndBlankPage) {
    RecordingObserver observer;
    browser.SetObserver(&observer);
    browser.Navigate("http://site.example/p.html");
    Finish(*engine.Last(), "Couldn't connect to server");
    browser.ReadyState();
    ASSERT_EQ(observer.heard.size(), 2u);
    EXPECT_EQ(observer.heard[0], (Heard{"committed", "about:neterror", ""}));
    EXPECT_EQ(observer.heard[1].location, "about:neterror");
    EXPECT_NE(observer.heard[1].html.find("Couldn't connect to server"), std::string::npos);

    observer.heard.clear();
    const std::size_t requests = engine.started.size();
    browser.Navigate("about:blank");
    EXPECT_EQ(engine.started.size(), requests) << "an empty page at once, without the engine";
    EXPECT_TRUE(observer.heard.empty()) << "Navigate only starts the load";
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(observer.heard, (std::vector<Heard>{{"committed", "about:blank", ""},
                                                  {"completed", "about:blank", ""}}));
}

// Reads the browser from inside its notifications, as a window showing the page would.
class ReadingObserver : public BrowserObserver {
  public:
    explicit ReadingObserver(WebBrowser& browser) : browser_(browser) {}
    void LoadCommitted(const std::string&) override { states.push_back(browser_.ReadyState()); }
    void LoadCompleted(const std::string& location, const std::string&) override {
        states.push_back(browser_.ReadyState());
        sameLocation = browser_.LocationURL() == location;
        title = browser_.GetDocument()->title;
    }
    std::vector<int> states;
    bool sameLocation = false;
    std::string title;

  private:
    WebBrowser& browser_;
};

TEST_F(WebBrowserTest, ObserverMayReadTheBrowserWhileBeingTold) {
    ReadingObserver observer(browser);
    browser.SetObserver(&observer);
    browser.Navigate("http://site.example/p.html");
    AnswerPage(*engine.Last(), "http://site.example/p.html", "<title>Shown</title>");
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(observer.states, (std::vector<int>{4, 4}));
    EXPECT_TRUE(observer.sameLocation);
    EXPECT_EQ(observer.title, "Shown");
}

// --- loads that leave the page shown alone ---

TEST_F(WebBrowserTest, LoadLeavesTheShownPageAlone) {
    browser.Navigate("http://site.example/shown.html");
    AnswerPage(*engine.Last(), "http://site.example/shown.html", "<title>Shown</title>");

    const std::shared_ptr<PageLoad> load = browser.Load("http://site.example/other.html#x");
    EXPECT_FALSE(load->Complete());
    EXPECT_EQ(load->LocationURL(), "");
    AnswerPage(*engine.Last(), "http://site.example/other.html", "<a name=x></a>");
    EXPECT_TRUE(load->Complete());
    EXPECT_EQ(load->LocationURL(), "http://site.example/other.html#x");
    EXPECT_EQ(load->GetDocument()->anchors.size(), 1u);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/shown.html");
    EXPECT_EQ(browser.GetDocument()->title, "Shown");
}

TEST_F(WebBrowserTest, LoadDurationRunsFromStartToEnd) {
    const std::shared_ptr<PageLoad> load = browser.Load("http://site.example/p.html");
    clock.now += std::chrono::seconds(3);
    EXPECT_EQ(load->DurationSeconds(), 3);
    clock.now += std::chrono::milliseconds(2500);
    AnswerPage(*engine.Last(), "http://site.example/p.html", "<p>");
    EXPECT_TRUE(load->Complete());
    clock.now += std::chrono::seconds(100);
    EXPECT_EQ(load->DurationSeconds(), 5);
}

TEST_F(WebBrowserTest, DroppedLoadIsAbandoned) {
    browser.Load("http://site.example/p.html");
    EXPECT_TRUE(engine.Last()->CancelRequested());
}

}  // namespace
}  // namespace quill::platform
