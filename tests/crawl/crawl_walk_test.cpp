// A crawl over fakes, for what a loopback site cannot show: the time-out box and the wait, Stop in
// the middle of a load, failures inside a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crawl_fakes.h"
#include "registry/link_statistics.h"

namespace quill::crawl_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kStart = "http://site/dir/index.html";
constexpr const char* kP1 = "http://site/dir/p1.html";

class CrawlWalkTest : public testing::Test {
  protected:
    // The run ended and left the window idle with nothing open.
    void ExpectIdle() {
        EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
        EXPECT_EQ(rig.crawl.State().currentDepth, 0);
        EXPECT_THAT(OpenPages(), IsEmpty());
        EXPECT_FALSE(rig.crawl.InRun());
        EXPECT_EQ(rig.browser.navigations.back(), "about:blank");
    }
    CrawlRig rig;
};

class TimeOutTextTest : public CrawlWalkTest,
                        public testing::WithParamInterface<std::pair<const char*, int>> {};

// Whole seconds from -32768 to 32767; any other text keeps the default of 60.
TEST_P(TimeOutTextTest, IsReadAsWholeSeconds) {
    rig.frontEnd.texts[TextControl::txtTmOut] = GetParam().first;
    rig.Run(kStart);
    EXPECT_EQ(rig.crawl.State().loadTimeOut, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Texts, TimeOutTextTest,
                         testing::Values(std::pair{" +7 ", 7}, std::pair{"-32768", -32768},
                                         std::pair{"32767", 32767}, std::pair{"32768", 60},
                                         std::pair{"-32769", 60}, std::pair{"", 60},
                                         std::pair{"1.5", 60}, std::pair{"12s", 60}));

// The wait for a page: a second at a time up to the time-out, then the page is judged as it is.
TEST_F(CrawlWalkTest, PageStillLoadingAtTheTimeOutIsJudgedAndWalked) {
    rig.Page(kStart, DocumentBuilder(kStart).Title("Slow").Image("http://site/dir/a.png").Build(),
             1000);
    rig.File("http://site/dir/a.png");
    rig.frontEnd.texts[TextControl::txtTmOut] = "2";
    rig.Run(kStart);
    EXPECT_EQ(rig.sleeper.sleeps, 2);
    EXPECT_THAT(ValidKeys(), ElementsAre("http://site/dir/a.png", kStart));
    EXPECT_EQ(LinkStatistics::ValidLinks().At(kStart), 2);
}

TEST_F(CrawlWalkTest, StopWhileTheStartPageLoadsRecordsItBroken) {
    rig.Page(kStart, DocumentBuilder(kStart).Image("http://site/dir/a.png").Build(), 5);
    rig.pump.At(2, [&] {
        rig.crawl.btnStartStop_Click();
        rig.crawl.btnStartStop_Click();  // further clicks never start another run
    });
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks],
                ElementsAre(std::string(kStart) + " <- "));
    EXPECT_THAT(rig.inet->probes, ElementsAre(kStart));  // the image was never taken up
    EXPECT_FALSE(rig.crawl.State().running);
    ExpectIdle();
}

TEST_F(CrawlWalkTest, StopDuringANestedVisitEndsEveryWalkOnThePath) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link(kP1)
                         .Link("http://site/dir/later.html")
                         .Frame("http://site/dir/frame.html")
                         .Form("http://site/dir/form.cgi")
                         .Build());
    rig.Page(kP1, DocumentBuilder(kP1)
                      .Script("http://site/dir/s.js")
                      .Link("http://site/dir/slow.html")
                      .Link("http://site/dir/l2.html")
                      .Build());
    rig.File("http://site/dir/s.js");
    rig.Page("http://site/dir/slow.html", DocumentBuilder().Build(), 3);
    rig.pump.At(4, [&] { rig.crawl.btnStartStop_Click(); });  // after the first sleep
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstGoodLinks],
                ElementsAre("http://site/dir/s.js", kP1, kStart));
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks],
                ElementsAre(std::string("http://site/dir/slow.html <- ") + kP1));
    ExpectIdle();
}

// A page lets go of each collection once its walker's turn is over, and of its links as they are
// handled: boxes changed during a nested visit still decide for the page's later walkers, and the
// links after the visit are all taken in order.
TEST_F(CrawlWalkTest, BoxesChangedDuringANestedVisitDecideForThePagesLaterWalkers) {
    const std::string a = "http://site/dir/a.html", b = "http://site/dir/b.html",
                      frame = "http://site/dir/f.html", image = "http://site/dir/i.png";
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link(kP1)
                         .Link(a)
                         .Link(b)
                         .Frame(frame)
                         .Form("http://site/dir/form.cgi")
                         .Build());
    rig.Page(kP1, DocumentBuilder(kP1).Image(image).Build());
    for (const std::string& page : {a, b, frame}) {
        rig.Page(page, DocumentBuilder(page).Build());
    }
    rig.File(image);
    rig.File("http://site/dir/form.cgi");
    rig.frontEnd.values[CheckControl::chkFrames] = false;
    rig.frontEnd.onAdd = [&](ListControl, const std::string& entry) {
        if (entry == image) {
            rig.frontEnd.values[CheckControl::chkFrames] = true;
            rig.frontEnd.values[CheckControl::chkForms] = false;
        }
    };
    rig.Run(kStart);
    EXPECT_THAT(ValidKeys(), ElementsAre(image, kP1, a, b, frame, kStart));
}

// A link whose check fails is tried once more by its href; a second failure ends the run: shown
// once the window is idle, the start page broken. The next run starts from nothing.
TEST_F(CrawlWalkTest, FailureWithALinkIsTriedOnceMoreThenEndsTheRun) {
    const std::string x = "http://other/x.html", y = "http://other/y.html";
    rig.Page(kStart,
             DocumentBuilder(kStart).Link(x).Link(kP1).Link("http://site/dir/n.html").Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link(y).Build());
    rig.Page("http://site/dir/n.html", DocumentBuilder().Build());
    rig.File(x);
    rig.inet->answers[x].failures = 1;
    rig.inet->answers[y].failures = -1;
    rig.Run(kStart);
    EXPECT_EQ(std::count(rig.inet->probes.begin(), rig.inet->probes.end(), x), 2);
    EXPECT_EQ(std::count(rig.inet->probes.begin(), rig.inet->probes.end(), y), 2);
    EXPECT_THAT(ValidKeys(), ElementsAre(x));
    EXPECT_THAT(BrokenKeys(), ElementsAre(kStart));
    ASSERT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(rig.frontEnd.failures[0], testing::HasSubstr("transfer engine failed"));
    EXPECT_EQ(rig.frontEnd.log.back().rfind("failure ", 0), 0u);
    EXPECT_EQ(rig.browser.navigations.size(), 3u);  // start, p1, blank: n.html never
    ExpectIdle();

    rig.File(y);
    rig.Run(kStart);
    EXPECT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks], IsEmpty());
    EXPECT_EQ(rig.crawl.State().brokenCount, 0);
}

}  // namespace
}  // namespace quill::crawl_test
