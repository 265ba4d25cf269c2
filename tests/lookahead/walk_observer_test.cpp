// What the crawl tells a look-ahead of its walk, and how it takes load times from it: on fakes, so
// the order of the calls and the times are exact.
#include "crawl/walk_observer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "crawl/crawl.h"
#include "crawl_fakes.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill {
namespace {

using crawl_test::DocumentBuilder;
using testing::ElementsAre;

// Writes down what it is told; answers load-time questions with `served`.
class RecordingObserver final : public WalkObserver {
  public:
    void RunStarted(const std::string& startURL, const WalkSettings& settings) override {
        calls.push_back("start " + startURL + (settings.running ? " running" : ""));
    }
    void PageWalked(const platform::Document&, const std::string& pageURL, int depth,
                    const WalkSettings&,
                    const std::function<bool(const std::string&)>& seenBefore) override {
        calls.push_back("page " + pageURL + " at " + std::to_string(depth) +
                        (seenBefore(pageURL) ? " open" : ""));
    }
    void SettingsChanged(const WalkSettings& settings) override { latest = settings; }
    void RunEnded() override { calls.push_back("end"); }
    std::uint64_t MarkRequests() override { return ++marks; }
    std::optional<int> ServedSeconds(std::uint64_t mark) override {
        return mark == marks ? served : std::nullopt;
    }

    std::vector<std::string> calls;
    std::optional<WalkSettings> latest;
    std::optional<int> served;
    std::uint64_t marks = 0;
};

class WalkObserverTest : public testing::Test {
  protected:
    WalkObserverTest() {
        VisitControl::ClearExcludedExtensions();
        frontEnd.texts[TextControl::txtTmOut] = "60";
        page.Image("http://s/img.png").Link("http://s/a.html").Link("http://s/gone.html");
        browser.pages["http://s/index.html"] = {"", page.Build()};
        browser.pages["http://s/a.html"] = {"", DocumentBuilder("http://s/a.html").Build()};
        for (const char* url : {"http://s/index.html", "http://s/a.html", "http://s/img.png"}) {
            inet->answers[url] = crawl_test::ProbeAnswer{"HTTP/1.1 200 OK\r\n\r\n", 0, 0};
        }
        inet->answers["http://s/gone.html"] =
            crawl_test::ProbeAnswer{"HTTP/1.1 404 Not Found\r\n\r\n", 2, 0};
    }

    void Run() {
        frontEnd.texts[TextControl::txtStartURL] = "http://s/index.html";
        frontEnd.texts[TextControl::txtBaseURL] = "http://s/";
        crawl.btnStartStop_Click();
    }

    static int LoadTimeOf(const std::string& url) {
        EXPECT_TRUE(LinkStatistics::IsValidLink(url) || LinkStatistics::IsBrokenLink(url)) << url;
        return LinkStatistics::IsValidLink(url) ? LinkStatistics::ValidLinks().At(url)
                                                : LinkStatistics::BrokenLinks().At(url);
    }

    DocumentBuilder page{"http://s/index.html"};
    crawl_test::EventLog events;
    crawl_test::FakeFrontEnd frontEnd;
    crawl_test::FakeClock clock;
    crawl_test::FakeSleeper sleeper{clock, events};
    crawl_test::FakePump pump{events};
    crawl_test::FakeBrowser browser{events};
    std::shared_ptr<crawl_test::FakeTransferControl> inet =
        std::make_shared<crawl_test::FakeTransferControl>();
    crawl_test::FakePageLoader pageLoader;
    RecordingObserver observer;
    Crawl crawl{frontEnd, CrawlServices{browser, inet, pageLoader, clock, sleeper, pump,
                                        [](bool) {}, &observer}};
};

TEST_F(WalkObserverTest, HearsTheRunItsPagesAndItsEnd) {
    Run();
    EXPECT_THAT(observer.calls, ElementsAre("start http://s/index.html running",
                                            "page http://s/index.html at 1 open",
                                            "page http://s/a.html at 2 open", "end"));
}

TEST_F(WalkObserverTest, SettingsAreToldAfterEveryPumpAsTheyAreThen) {
    pump.At(2, [this] {
        frontEnd.values[CheckControl::chkImages] = false;
        frontEnd.maximumDepth = 4;
        VisitControl::AddExcludedExtension(".zip");
    });
    pump.At(4, [this] { crawl.btnStartStop_Click(); });  // Stop
    Run();
    ASSERT_TRUE(observer.latest.has_value());
    EXPECT_FALSE(observer.latest->images);
    EXPECT_TRUE(observer.latest->links);
    EXPECT_EQ(observer.latest->maximumDepth, 4);
    EXPECT_THAT(observer.latest->scope.excludedExtensions, ElementsAre(".zip"));
    EXPECT_EQ(observer.latest->scope.baseURL, "http://s/");
    EXPECT_FALSE(observer.latest->running);
}

TEST_F(WalkObserverTest, ServedLoadTimesAreTheLookAheadsSeconds) {
    observer.served = 7;
    Run();
    for (const char* url :
         {"http://s/img.png", "http://s/a.html", "http://s/gone.html", "http://s/index.html"}) {
        EXPECT_EQ(LoadTimeOf(url), 7) << url;
    }
}

TEST_F(WalkObserverTest, WithoutServedAnswersTheClockMeasures) {
    Run();
    EXPECT_EQ(LoadTimeOf("http://s/img.png"), 0);
    EXPECT_EQ(LoadTimeOf("http://s/gone.html"), 2);  // two one-second waits
}

}  // namespace
}  // namespace quill
