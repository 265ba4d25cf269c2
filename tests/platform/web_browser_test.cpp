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
struct ScriptedEngine : TransferEngine {
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
    Transfer& Last() const { return *started.back(); }
    std::vector<std::shared_ptr<Transfer>> started;
};

struct ManualClock : Clock {
    TimePoint Now() const override { return now; }
    int UtcDayOfMonth() const override { return 1; }
    TimePoint now{std::chrono::hours(1)};
};

void AnswerHeaders(Transfer& transfer, int status, const std::string& effectiveUrl,
                   const std::string& contentType = "text/html") {
    transfer.BeginResponse("HTTP/1.1 " + std::to_string(status) + " Whatever\r\n");
    transfer.AppendHeaderLine("Content-Type: " + contentType + "\r\n\r\n");
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

// Records what it hears, reading the browser from inside each notification as a window showing
// the page would: "committed <address> <ready state>", "completed <address> <state> <title>
// <html>".
struct ReadingObserver : BrowserObserver {
    explicit ReadingObserver(WebBrowser& browser) : browser(browser) {}
    void LoadCommitted(const std::string& location) override {
        heard.push_back("committed " + location + " " + std::to_string(browser.ReadyState()));
    }
    void LoadCompleted(const std::string& location, const std::string& html) override {
        heard.push_back("completed " + location + " " + std::to_string(browser.ReadyState()) + " " +
                        browser.GetDocument()->title + " " + html);
    }
    WebBrowser& browser;
    std::vector<std::string> heard;
};

class WebBrowserTest : public ::testing::Test {
  protected:
    ScriptedEngine engine;
    ManualClock clock;
    WebBrowser browser{engine, clock};
};

TEST_F(WebBrowserTest, PageLoadIsAGetFollowingRedirectsForHtmlOnly) {
    browser.Navigate("http://site.example/a.html#part");
    const TransferRequest& request = engine.Last().Request();
    EXPECT_EQ(request.url, "http://site.example/a.html");
    EXPECT_TRUE(request.htmlBodyOnly);
    EXPECT_EQ(request.maxBodyBytes, std::size_t{32} * 1024 * 1024);
    EXPECT_EQ(request.timeoutSeconds, 60);
    browser.SetLoadTimeoutSeconds(120);
    browser.Navigate("http://site.example/");
    EXPECT_EQ(engine.Last().Request().timeoutSeconds, 120);
}

TEST_F(WebBrowserTest, LoadGoesFromLoadingToInteractiveToComplete) {
    EXPECT_EQ(browser.ReadyState(), 4);  // complete on an empty page before any load
    browser.Navigate("http://site.example/first.html");
    AnswerPage(engine.Last(), "http://site.example/first.html", "<title>First</title>");
    ASSERT_EQ(browser.ReadyState(), 4);
    browser.Navigate("http://site.example/second.html");
    EXPECT_EQ(browser.ReadyState(), 1);
    // The old page stays until the new one commits.
    EXPECT_EQ(browser.LocationURL(), "http://site.example/first.html");
    EXPECT_EQ(browser.GetDocument()->title, "First");
    Transfer& transfer = engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/second.html");
    EXPECT_EQ(browser.ReadyState(), 3);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/second.html");
    AppendBody(transfer, "<title>Second</title><a href=one.html>1</a>");
    const auto partial = browser.GetDocument();
    EXPECT_EQ(partial->title, "Second");
    EXPECT_EQ(partial->links.size(), 1u);
    EXPECT_EQ(browser.GetDocument(), partial) << "parsed again only when more has arrived";
    AppendBody(transfer, "<a href=two.html>2</a>");
    EXPECT_EQ(browser.GetDocument()->links.size(), 2u);
    AppendBody(transfer, "<a href=");
    Finish(transfer, "Connection reset");  // a body cut short is shown as it came
    EXPECT_EQ(browser.ReadyState(), 4);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/second.html");
    EXPECT_EQ(browser.GetDocument()->links.size(), 2u);
}

// A walk takes the document shown; the browser keeps its address and title. A page still
// arriving, or a document held elsewhere, is copied.
TEST_F(WebBrowserTest, AWalkTakesTheDocumentShown) {
    browser.Navigate("http://site.example/a.html");
    Transfer& transfer = engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/a.html");
    AppendBody(transfer, "<title>A</title><a href=one.html>1</a>");
    EXPECT_EQ(browser.TakeDocument().links.size(), 1u);
    EXPECT_EQ(browser.GetDocument()->links.size(), 1u);
    Finish(transfer);
    const std::shared_ptr<const Document> held = browser.GetDocument();
    EXPECT_EQ(browser.TakeDocument().links.size(), 1u);
    EXPECT_EQ(held->links.size(), 1u);
    AnswerPage((browser.Navigate("http://site.example/b.html"), engine.Last()),
               "http://site.example/b.html", "<title>B</title><a href=two.html>2</a>");
    EXPECT_EQ(browser.TakeDocument().links.at(0).href, "http://site.example/two.html");
    const std::shared_ptr<const Document> left = browser.GetDocument();
    EXPECT_EQ(left->url + " " + left->title + " " + std::to_string(left->links.size()),
              "http://site.example/b.html B 0");
}

// The address shown follows the spelling rules; a failed load ends on the error page.
TEST_F(WebBrowserTest, AddressShownAfterALoad) {
    struct {
        const char* navigated;
        int status;            // 0: no response at all
        const char* answered;  // the engine's effective URL
        const char* expected;
    } const kCases[] = {{"http://h:80/a", 200, "http://h/a", "http://h:80/a T 1"},
                        {"http://h/old#s", 200, "http://h/new", "http://h/new#s T 1"},
                        {"http://h/p", 404, "http://h/p", "about:neterror Page not loaded 0"},
                        {"http://h/p", 0, "", "about:neterror Page not loaded 0"}};
    for (const auto& c : kCases) {
        browser.Navigate(c.navigated);
        Transfer& transfer = engine.Last();
        if (c.status != 0) {
            AnswerHeaders(transfer, c.status, c.answered);
            AppendBody(transfer, "<title>T</title><a href=x>x</a>");
        }
        Finish(transfer);
        EXPECT_EQ(browser.ReadyState(), 4);
        EXPECT_EQ(browser.LocationURL() + " " + browser.GetDocument()->title + " " +
                      std::to_string(browser.GetDocument()->links.size()),
                  c.expected);
    }
}

// Neither an error page's body nor a non-HTML body is downloaded.
TEST_F(WebBrowserTest, ErrorStatusOrNonHtmlIsCompleteOnItsHeaders) {
    for (const auto& [status, type] : {std::pair{404, "text/html"}, std::pair{200, "image/png"}}) {
        browser.Navigate("http://site.example/thing");
        AnswerHeaders(engine.Last(), status, "http://site.example/thing", type);
        EXPECT_EQ(browser.ReadyState(), 4) << type;
        EXPECT_TRUE(engine.Last().CancelRequested()) << type;
    }
    EXPECT_EQ(browser.LocationURL(), "http://site.example/thing");
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
}

TEST_F(WebBrowserTest, LoadsGivenUpAreCancelledAndOfflineAsksNothing) {
    browser.Navigate("http://site.example/slow.html");
    browser.Navigate("http://site.example/fast.html");
    browser.Load("http://site.example/dropped.html");
    for (const auto& transfer : engine.started) {
        EXPECT_EQ(transfer->CancelRequested(), transfer != engine.started[1]);
    }
    browser.SetOffline(true);
    browser.Navigate("https://site.example/");
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    browser.Navigate("file:///srv/index.html");
    EXPECT_EQ(engine.started.size(), 4u);
}

TEST_F(WebBrowserTest, ObserverHearsCommitThenCompletionAndMayReadTheBrowser) {
    ReadingObserver observer(browser);
    browser.SetObserver(&observer);
    browser.Navigate("http://site.example/p.html");
    Transfer& transfer = engine.Last();
    AnswerHeaders(transfer, 200, "http://site.example/p.html");
    AppendBody(transfer, "<title>caf\xC3\xA9</title>");
    EXPECT_TRUE(observer.heard.empty()) << "told only when the browser is asked";
    browser.ReadyState();
    Finish(transfer);
    browser.LocationURL();
    EXPECT_EQ(observer.heard[1],
              "completed http://site.example/p.html 4 caf\xC3\xA9 <title>caf\xC3\xA9</title>");
    browser.Navigate("http://site.example/q.html");
    Finish(engine.Last(), "Couldn't connect to server");
    browser.ReadyState();
    browser.Navigate("about:blank");
    EXPECT_EQ(engine.started.size(), 2u) << "an empty page at once, without the engine";
    EXPECT_EQ(browser.ReadyState(), 4);
    ASSERT_EQ(observer.heard.size(), 6u);
    EXPECT_EQ(observer.heard[0] + observer.heard[2] + observer.heard[5],
              "committed http://site.example/p.html 3committed about:neterror 4completed "
              "about:blank 4  ");
    EXPECT_NE(observer.heard[3].find("Couldn't connect to server"), std::string::npos);
}

TEST_F(WebBrowserTest, LoadLeavesTheShownPageAloneAndTimesItself) {
    browser.Navigate("http://site.example/shown.html");
    AnswerPage(engine.Last(), "http://site.example/shown.html", "<title>Shown</title>");
    const std::shared_ptr<PageLoad> load = browser.Load("http://site.example/other.html#x");
    EXPECT_FALSE(load->Complete());
    clock.now += std::chrono::milliseconds(5500);
    AnswerPage(engine.Last(), "http://site.example/other.html", "<a name=x></a>");
    EXPECT_TRUE(load->Complete());
    clock.now += std::chrono::seconds(100);
    EXPECT_EQ(load->DurationSeconds(), 5);
    EXPECT_EQ(load->LocationURL(), "http://site.example/other.html#x");
    EXPECT_EQ(load->GetDocument()->anchors.size(), 1u);
    EXPECT_EQ(browser.LocationURL(), "http://site.example/shown.html");
    EXPECT_EQ(browser.GetDocument()->title, "Shown");
}

}  // namespace
}  // namespace quill::platform
