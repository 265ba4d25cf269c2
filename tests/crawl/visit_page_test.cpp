// The page routine: probe, load, the wait with its pumps and sleeps, the judgement by the exact
// address, the depth rule and the open-page set that keeps the crawl out of cycles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advisories/advisory_store_testing.h"
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
        SyntaxChecker::ClearAdvisoriesForTesting();
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

const std::vector<std::string> kPumps3 = {"pump", "pump", "pump"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST_F(VisitPageTest, WaitPollsPumpsThreeSleepsASecondAndPumpsThree) {
    rig.Page(kStart, DocumentBuilder(kStart).Build(), 2);
    rig.Run(kStart);
    EXPECT_THAT(EventsOfLoad(kStart), ElementsAreArray(Join({{"ready?"},
                                                             kPumps3,
                                                             {"sleep 1000"},
                                                             kPumps3,
                                                             {"ready?"},
                                                             kPumps3,
                                                             {"sleep 1000"},
                                                             kPumps3,
                                                             {"ready?"}})));
    EXPECT_EQ(LinkStatistics::ValidLinks().At(kStart), 2);
}

struct TimeOutCase {
    const char* name;
    const char* timeOut;
    int sleeps;
    std::vector<std::string> events;
};

class PageTimeOutTest : public VisitPageTest, public testing::WithParamInterface<TimeOutCase> {};

TEST_P(PageTimeOutTest, JudgesAndWalksThePageAfterTheBudget) {
    rig.Page(kStart, DocumentBuilder(kStart).Title("Slow").Build(), 1000);
    rig.frontEnd.texts[TextControl::txtTmOut] = GetParam().timeOut;
    rig.Run(kStart);
    EXPECT_THAT(EventsOfLoad(kStart), ElementsAreArray(GetParam().events));
    EXPECT_EQ(rig.sleeper.sleeps, GetParam().sleeps);
    EXPECT_THAT(rig.frontEnd.log, testing::Contains("lblDocTitle=Slow"));  // walked all the same
    EXPECT_THAT(ValidKeys(), ElementsAre(kStart));
}

const TimeOutCase kTimeOutCases[] = {
    {"Zero", "0", 0, Join({{"ready?"}, kPumps3})},
    {"Negative", "-5", 0, Join({{"ready?"}, kPumps3})},
    {"Two", "2", 2,
     Join({{"ready?"},
           kPumps3,
           {"sleep 1000"},
           kPumps3,
           {"ready?"},
           kPumps3,
           {"sleep 1000"},
           kPumps3,
           {"ready?"},
           kPumps3})},
};

INSTANTIATE_TEST_SUITE_P(Budgets, PageTimeOutTest, testing::ValuesIn(kTimeOutCases),
                         [](const testing::TestParamInfo<TimeOutCase>& info) {
                             return info.param.name;
                         });

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
    std::vector<std::string> navigations;
    std::vector<std::string> valid;
    std::vector<std::string> depths;
};

class DepthLimitTest : public VisitPageTest, public testing::WithParamInterface<DepthCase> {};

TEST_P(DepthLimitTest, WalksPagesDownToTheLimitAndJudgesOneMore) {
    Chain();
    rig.frontEnd.maximumDepth = GetParam().maximumDepth;
    rig.Run(kStart);
    std::vector<std::string> navigations = GetParam().navigations;
    navigations.push_back("about:blank");
    EXPECT_THAT(rig.browser.navigations, ElementsAreArray(navigations));
    EXPECT_THAT(ValidKeys(), ElementsAreArray(GetParam().valid));
    EXPECT_THAT(rig.frontEnd.Logged("lblDepth="), ElementsAreArray(GetParam().depths));
    EXPECT_THAT(OpenPages(), IsEmpty());
}

const DepthCase kDepthCases[] = {
    {"Unlimited",
     0,
     {kStart, kP1, kP2, kP3},
     {kP3, kP2, kP1, kStart},
     {"lblDepth=0", "lblDepth=1", "lblDepth=2", "lblDepth=3", "lblDepth=4", "lblDepth=3",
      "lblDepth=2", "lblDepth=1", "lblDepth=0", "lblDepth=0"}},
    {"One",
     1,
     {kStart, kP1},
     {kP1, kStart},
     {"lblDepth=0", "lblDepth=1", "lblDepth=2", "lblDepth=1", "lblDepth=0", "lblDepth=0"}},
    {"Two",
     2,
     {kStart, kP1, kP2},
     {kP2, kP1, kStart},
     {"lblDepth=0", "lblDepth=1", "lblDepth=2", "lblDepth=3", "lblDepth=2", "lblDepth=1",
      "lblDepth=0", "lblDepth=0"}},
    {"DeeperThanTheSite",
     10,
     {kStart, kP1, kP2, kP3},
     {kP3, kP2, kP1, kStart},
     {"lblDepth=0", "lblDepth=1", "lblDepth=2", "lblDepth=3", "lblDepth=4", "lblDepth=3",
      "lblDepth=2", "lblDepth=1", "lblDepth=0", "lblDepth=0"}},
    {"NegativeWalksNothing",
     -1,
     {kStart},
     {kStart},
     {"lblDepth=0", "lblDepth=1", "lblDepth=0", "lblDepth=0"}},
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

TEST_F(VisitPageTest, StopDuringANestedLoadBreaksThatPageAndUnwindsThePath) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Link(kP3).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link(kP2).Link(kP3).Build());
    rig.Page(kP2, DocumentBuilder(kP2).Image("http://site/dir/a.png").Build(), 5);
    rig.Page(kP3, DocumentBuilder(kP3).Build());
    rig.pump.At(4, [&] { rig.crawl.btnStartStop_Click(); });  // after the first sleep
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(std::string("broken ") + kP2 + " <- " + kP1,
                            std::string("valid ") + kP1, std::string("valid ") + kStart));
    EXPECT_EQ(LinkStatistics::BrokenLinks().At(kP2), 1);  // the time waited so far
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, kP2, "about:blank"));
    EXPECT_EQ(rig.crawl.State().currentDepth, 0);
    EXPECT_THAT(OpenPages(), IsEmpty());
}

TEST_F(VisitPageTest, PagesOnThePathAreLeftAloneSoCyclesEnd) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link(kStart).Link(kP1).Link(kP2).Build());
    rig.Page(kP2, DocumentBuilder(kP2).Link(kP1).Link(kStart).Build());
    rig.Run(kStart);
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, kP2, "about:blank"));
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(std::string("valid ") + kP2, std::string("valid ") + kP1,
                            std::string("valid ") + kStart));
    EXPECT_THAT(OpenPages(), IsEmpty());
}

TEST_F(VisitPageTest, OpenPageSetHoldsExactlyThePath) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link(kP2).Build());
    rig.Page(kP2, DocumentBuilder(kP2).Build(), 1);
    std::vector<std::string> openDuringP2;
    rig.pump.At(1, [&] { openDuringP2 = OpenPages(); });
    rig.Run(kStart);
    EXPECT_THAT(openDuringP2, ElementsAre(kStart, kP1));
}

}  // namespace
}  // namespace quill::crawl_test
