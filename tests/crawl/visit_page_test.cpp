// The page routine: probe, load, the wait with its pumps and sleeps, the judgement by the exact
// address, the depth rule and the open-page set that keeps the crawl out of cycles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl_fakes.h"
#include "registry/link_statistics.h"

namespace quill::crawl_test {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr const char* kStart = "http://site/dir/index.html";
constexpr const char* kP1 = "http://site/dir/p1.html";
constexpr const char* kP2 = "http://site/dir/p2.html";
constexpr const char* kP3 = "http://site/dir/p3.html";

class VisitPageTest : public testing::Test {
  protected:
    void SetUp() override {
        SyntaxChecker::ResetAdvisories();
        LinkStatistics::ResetLinkStatistics();
    }

    // The events from the navigation to url on, up to the next navigation.
    std::vector<std::string> EventsOfLoad(const std::string& url) const {
        std::vector<std::string> events;
        bool inside = false;
        for (const std::string& e : rig.events) {
            if (e.rfind("navigate ", 0) == 0) {
                if (inside) {
                    break;
                }
                inside = e == "navigate " + url;
                continue;
            }
            if (inside) {
                events.push_back(e);
            }
        }
        return events;
    }

    // start -> p1 -> p2 -> p3, each page linking to the next.
    void Chain() {
        rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Build());
        rig.Page(kP1, DocumentBuilder(kP1).Link(kP2).Build());
        rig.Page(kP2, DocumentBuilder(kP2).Link(kP3).Build());
        rig.Page(kP3, DocumentBuilder(kP3).Build());
    }

    CrawlRig rig;
};

// The wait of a page load: R = a ReadyState poll, P = a pump, S = a one-second sleep.
struct WaitCase {
    const char* name;
    const char* timeOut;
    int incompletePolls;
    const char* wait;
};

class PageWaitTest : public VisitPageTest, public testing::WithParamInterface<WaitCase> {};

TEST_P(PageWaitTest, PollsPumpsAndSleepsThenJudgesAndWalksThePage) {
    rig.Page(kStart, DocumentBuilder(kStart).Title("Slow").Build(), GetParam().incompletePolls);
    rig.frontEnd.texts[TextControl::txtTmOut] = GetParam().timeOut;
    rig.Run(kStart);
    std::string wait;
    for (const std::string& event : EventsOfLoad(kStart)) {
        wait += event == "ready?" ? "R" : event == "pump" ? "P" : event == "sleep 1000" ? "S" : "?";
    }
    EXPECT_EQ(wait, GetParam().wait);
    // A page still loading when the time is up is judged and walked all the same.
    EXPECT_THAT(rig.frontEnd.log, testing::Contains("lblDocTitle=Slow"));
    EXPECT_THAT(ValidKeys(), ElementsAre(kStart));
    EXPECT_EQ(LinkStatistics::ValidLinks().At(kStart), rig.sleeper.sleeps);
}

const WaitCase kWaitCases[] = {
    {"CompleteAfterTwoSeconds", "60", 2, "RPPPSPPPRPPPSPPPR"},
    {"ZeroBudget", "0", 1000, "RPPP"},
    {"NegativeBudget", "-5", 1000, "RPPP"},
    {"TwoSecondBudget", "2", 1000, "RPPPSPPPRPPPSPPPRPPP"},
};

INSTANTIATE_TEST_SUITE_P(Budgets, PageWaitTest, testing::ValuesIn(kWaitCases),
                         [](const testing::TestParamInfo<WaitCase>& info) {
                             return info.param.name;
                         });

TEST_F(VisitPageTest, ClockSetBackDuringALoadGivesNoNegativeLoadTime) {
    rig.Page(kStart, DocumentBuilder(kStart).Build(), 1);
    rig.pump.At(1, [&] { rig.clock.Advance(-10000); });
    rig.Run(kStart);
    EXPECT_EQ(LinkStatistics::ValidLinks().At(kStart), 0);
}

TEST_F(VisitPageTest, LoadTimeIncludesTheProbeWait) {
    rig.Page(kStart, DocumentBuilder(kStart).Build(), 1);
    rig.inet->answers[kStart].busyPolls = 3;
    rig.Run(kStart);
    EXPECT_EQ(LinkStatistics::ValidLinks().At(kStart), 4);
}

struct JudgementCase {
    const char* name;
    const char* probeHeader;  // nullptr: no answer at all
    const char* location;     // where the browser ends up; "" = as asked
    bool loaded;
    bool good;
};

class PageJudgementTest : public VisitPageTest,
                          public testing::WithParamInterface<JudgementCase> {};

TEST_P(PageJudgementTest, GoodOnlyAtTheExactAddressAfterA200) {
    const JudgementCase& c = GetParam();
    rig.Page(kStart, DocumentBuilder(kStart).Title("T").Image("http://site/dir/a.png").Build(), 0,
             c.location);
    if (c.probeHeader) {
        rig.inet->answers[kStart].header = c.probeHeader;
    } else {
        rig.inet->answers.erase(kStart);
    }
    rig.Run(kStart);
    EXPECT_EQ(rig.browser.navigations.size() == 2, c.loaded);
    EXPECT_EQ(LinkStatistics::IsValidLink(kStart), c.good);
    EXPECT_EQ(LinkStatistics::IsBrokenLink(kStart), !c.good);
    // Only a good page is walked.
    EXPECT_EQ(LinkStatistics::Referrers().Contains("http://site/dir/a.png"), c.good);
}

const JudgementCase kJudgementCases[] = {
    {"OkAtItsAddress", "HTTP/1.1 200 OK\r\n", "", true, true},
    {"NotFound", "HTTP/1.1 404 Not Found\r\n", "", false, false},
    {"RedirectIsNotFollowedByTheProbe", "HTTP/1.1 301 Moved Permanently\r\n", "", false, false},
    {"NoAnswer", nullptr, "", false, false},
    {"ShownUnderAnotherAddress", "HTTP/1.1 200 OK\r\n", "http://site/dir/other.html", true, false},
    {"SlashAddedByTheServer", "HTTP/1.1 200 OK\r\n", "http://site/dir/index.html/", true, false},
    {"OtherLetterCase", "HTTP/1.1 200 OK\r\n", "http://SITE/dir/index.html", true, false},
    {"LoadFailed", "HTTP/1.1 200 OK\r\n", "about:neterror", true, false},
};

INSTANTIATE_TEST_SUITE_P(Pages, PageJudgementTest, testing::ValuesIn(kJudgementCases),
                         [](const testing::TestParamInfo<JudgementCase>& info) {
                             return info.param.name;
                         });

TEST_F(VisitPageTest, ValidURLIsGoodAtOnceWithItsLoadTimeUntouched) {
    LinkStatistics::AddValidLink(kP1, 7, "");
    int loadTime = 99;
    EXPECT_TRUE(rig.crawl.VisitPage(kP1, true, loadTime));
    EXPECT_EQ(loadTime, 99);
    EXPECT_THAT(rig.inet->probes, IsEmpty());
    EXPECT_THAT(rig.browser.navigations, IsEmpty());
    EXPECT_THAT(rig.frontEnd.log, ElementsAre(std::string("lblDocHref=") + kP1, "lblDocTitle="));
}

TEST_F(VisitPageTest, FragmentURLToCheckOnlyNeedsNoNetwork) {
    rig.clock.Advance(5000);
    int loadTime = 99;
    EXPECT_TRUE(rig.crawl.VisitPage("http://site/dir/p1.html#part", false, loadTime));
    EXPECT_EQ(loadTime, 0);
    EXPECT_THAT(rig.inet->probes, IsEmpty());
    EXPECT_THAT(rig.browser.navigations, IsEmpty());
}

TEST_F(VisitPageTest, FragmentURLToFollowIsLoadedWithoutAProbe) {
    const std::string start = std::string(kStart) + "#top";
    rig.Page(start, DocumentBuilder(start).Build());
    rig.inet->answers.clear();
    rig.Run(start);
    EXPECT_THAT(rig.inet->probes, IsEmpty());
    EXPECT_THAT(ValidKeys(), ElementsAre(start));
}

TEST_F(VisitPageTest, FragmentURLShownWithoutItsFragmentIsBroken) {
    const std::string start = std::string(kStart) + "#top";
    rig.Page(start, DocumentBuilder(start).Build(), 0, kStart);
    rig.Run(start);
    EXPECT_THAT(BrokenKeys(), ElementsAre(start));
}

struct DepthCase {
    const char* name;
    int maximumDepth;
    int pagesLoaded;     // of the chain start, p1, p2, p3: each recorded after those below it
    const char* depths;  // every depth shown, in order
};

class DepthLimitTest : public VisitPageTest, public testing::WithParamInterface<DepthCase> {};

TEST_P(DepthLimitTest, WalksPagesDownToTheLimitAndJudgesOneMore) {
    Chain();
    rig.frontEnd.maximumDepth = GetParam().maximumDepth;
    rig.Run(kStart);
    const std::vector<std::string> chain = {kStart, kP1, kP2, kP3};
    std::vector<std::string> loaded(chain.begin(), chain.begin() + GetParam().pagesLoaded);
    std::vector<std::string> navigations = loaded;
    navigations.push_back("about:blank");
    EXPECT_THAT(rig.browser.navigations, ElementsAreArray(navigations));
    EXPECT_THAT(ValidKeys(), ElementsAreArray(loaded.rbegin(), loaded.rend()));
    std::string depths;
    for (const std::string& shown : rig.frontEnd.Logged("lblDepth=")) {
        depths += (depths.empty() ? "" : " ") + shown.substr(9);
    }
    EXPECT_EQ(depths, GetParam().depths);
    EXPECT_THAT(OpenPages(), IsEmpty());
}

const DepthCase kDepthCases[] = {
    {"Unlimited", 0, 4, "0 1 2 3 4 3 2 1 0 0"},
    {"One", 1, 2, "0 1 2 1 0 0"},
    {"Two", 2, 3, "0 1 2 3 2 1 0 0"},
    {"NegativeWalksNothing", -1, 1, "0 1 0 0"},
};

INSTANTIATE_TEST_SUITE_P(Limits, DepthLimitTest, testing::ValuesIn(kDepthCases),
                         [](const testing::TestParamInfo<DepthCase>& info) {
                             return info.param.name;
                         });

TEST_F(VisitPageTest, DepthChangedDuringALoadAppliesToThatPage) {
    Chain();
    rig.browser.pages[kP1].incompletePolls = 1;
    rig.pump.At(1, [&] { rig.frontEnd.maximumDepth = 1; });
    rig.Run(kStart);
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, "about:blank"));
    EXPECT_THAT(ValidKeys(), ElementsAre(kP1, kStart));
}

TEST_F(VisitPageTest, PagesOnThePathAreLeftAloneSoCyclesEnd) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link(kStart).Link(kP1).Link(kP2).Build());
    rig.Page(kP2, DocumentBuilder(kP2).Link(kP1).Link(kStart).Build(), 1);
    std::vector<std::string> openDuringP2;
    rig.pump.At(1, [&] { openDuringP2 = OpenPages(); });
    rig.Run(kStart);
    EXPECT_THAT(openDuringP2, ElementsAre(kStart, kP1));  // exactly the path
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, kP2, "about:blank"));
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(std::string("valid ") + kP2, std::string("valid ") + kP1,
                            std::string("valid ") + kStart));
    EXPECT_THAT(OpenPages(), IsEmpty());
}

}  // namespace
}  // namespace quill::crawl_test
