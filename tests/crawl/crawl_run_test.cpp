// A crawl run as the Start/Stop button drives it: the steps of Start, the start page recorded last,
// the return to idle, Stop requests, the time-out box, second runs and failures inside a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "advisories/syntax_checker.h"
#include "crawl_fakes.h"
#include "registry/dictionary.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill::crawl_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kStart = "http://site/dir/index.html";

class CrawlRunTest : public testing::Test {
  protected:
    void SetUp() override { SyntaxChecker::ResetAdvisories(); }
    CrawlRig rig;
};

TEST_F(CrawlRunTest, EmptyStartURLDoesNothing) {
    rig.Run("", "");
    EXPECT_THAT(rig.frontEnd.log, IsEmpty());
    EXPECT_THAT(rig.browser.navigations, IsEmpty());
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
    EXPECT_FALSE(rig.crawl.InRun());
}

TEST_F(CrawlRunTest, OneBlankIsAStartURL) {
    rig.Run(" ", " ");
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks], ElementsAre("  <- "));
}

TEST_F(CrawlRunTest, StartResetsShowsAndEndsInTheIdleState) {
    rig.Page(kStart, DocumentBuilder(kStart).Title("Home").Build());
    rig.Run(kStart);
    EXPECT_THAT(
        rig.frontEnd.log,
        ElementsAre("clear lstGoodLinks", "clear lstBrokenLinks", "clear lstSkippedLinks",
                    "lblNumSuccessfulLinks=0", "lblNumSkippedLinks=0", "lblNumBrokenLinks=0",
                    "lblDepth=0", "btnStartStop=Stop", std::string("lblDocHref=") + kStart,
                    "lblDocTitle=", "lblDepth=1", "lblDocTitle=Home", "lblDepth=0",
                    "lblNumSuccessfulLinks=1", std::string("+lstGoodLinks ") + kStart,
                    "btnStartStop=Start", "lblDepth=0", "lblDocHref=", "lblDocTitle="));
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, "about:blank"));
    EXPECT_TRUE(rig.browser.silent);
    EXPECT_FALSE(rig.browser.offline);
    EXPECT_FALSE(rig.crawl.InRun());
    EXPECT_TRUE(rig.crawl.State().running);  // a run that ends normally leaves it set
    EXPECT_EQ(rig.crawl.State().startURL, kStart);
    EXPECT_EQ(LinkStatistics::Referrers().At(kStart), "");
}

TEST_F(CrawlRunTest, BrokenStartPageIsListedWithAnEmptyReferrer) {
    rig.Missing(kStart);
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks],
                ElementsAre(std::string(kStart) + " <- "));
    EXPECT_EQ(rig.crawl.State().brokenCount, 1);
    EXPECT_EQ(rig.crawl.State().successfulCount, 0);
    EXPECT_THAT(BrokenKeys(), ElementsAre(kStart));
    EXPECT_THAT(rig.browser.navigations, ElementsAre("about:blank"));  // never loaded
}

TEST_F(CrawlRunTest, StartPageIsRecordedLast) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Image("http://site/dir/a.png")
                         .Link("http://site/dir/b.html")
                         .Link("http://elsewhere/x.html")
                         .Build());
    rig.File("http://site/dir/a.png");
    rig.Page("http://site/dir/b.html", DocumentBuilder().Image("http://site/dir/gone.png").Build());
    rig.Missing("http://site/dir/gone.png");
    rig.frontEnd.values[CheckControl::chkExternal] = false;
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre("valid http://site/dir/a.png",
                            "broken http://site/dir/gone.png <- http://site/dir/b.html",
                            "valid http://site/dir/b.html",
                            "skipped http://elsewhere/x.html <- http://site/dir/index.html",
                            std::string("valid ") + kStart));
    EXPECT_THAT(ValidKeys(),
                ElementsAre("http://site/dir/a.png", "http://site/dir/b.html", kStart));
    EXPECT_EQ(LinkStatistics::Referrers().At("http://site/dir/gone.png"), "http://site/dir/b.html");
    // Each count moves by one and its label follows.
    EXPECT_THAT(
        rig.frontEnd.Logged("lblNum"),
        ElementsAre("lblNumSuccessfulLinks=0", "lblNumSkippedLinks=0", "lblNumBrokenLinks=0",
                    "lblNumSuccessfulLinks=1", "lblNumBrokenLinks=1", "lblNumSuccessfulLinks=2",
                    "lblNumSkippedLinks=1", "lblNumSuccessfulLinks=3"));
}

TEST_F(CrawlRunTest, SecondStartBeginsFromNothing) {
    rig.Page(kStart, DocumentBuilder(kStart).Image("http://site/dir/a.png").Build());
    rig.Missing("http://site/dir/a.png");
    rig.Run(kStart);
    ASSERT_EQ(rig.crawl.State().brokenCount, 1);

    const std::string second = "http://other/index.html";
    rig.Page(second, DocumentBuilder(second).Build());
    rig.frontEnd.log.clear();
    rig.Run(second);
    EXPECT_THAT(rig.frontEnd.log[0], "clear lstGoodLinks");
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks], IsEmpty());
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstGoodLinks], ElementsAre(second));
    EXPECT_EQ(rig.crawl.State().brokenCount, 0);
    EXPECT_EQ(rig.crawl.State().successfulCount, 1);
    EXPECT_THAT(BrokenKeys(), IsEmpty());
    EXPECT_THAT(ValidKeys(), ElementsAre(second));
}

struct TimeOutCase {
    const char* name;
    const char* text;
    int seconds;
};

class TimeOutTextTest : public CrawlRunTest, public testing::WithParamInterface<TimeOutCase> {};

TEST_P(TimeOutTextTest, IsReadAsWholeSeconds) {
    rig.frontEnd.texts[TextControl::txtTmOut] = GetParam().text;
    rig.Run(kStart);
    EXPECT_EQ(rig.crawl.State().loadTimeOut, GetParam().seconds);
}

// Whole seconds from -32768 to 32767; any other text keeps the default of 60.
const TimeOutCase kTimeOutCases[] = {
    {"Small", "5", 5},
    {"Zero", "0", 0},
    {"Negative", "-3", -3},
    {"PlusSign", "+4", 4},
    {"BlanksAround", " 7 ", 7},
    {"Largest", "32767", 32767},
    {"Smallest", "-32768", -32768},
    {"AboveRange", "32768", 60},
    {"BelowRange", "-32769", 60},
    {"Empty", "", 60},
    {"Fraction", "1.5", 60},
    {"DigitsThenLetters", "12s", 60},
    {"SignAlone", "-", 60},
    {"Huge", "99999999999999999999", 60},
};

INSTANTIATE_TEST_SUITE_P(Texts, TimeOutTextTest, testing::ValuesIn(kTimeOutCases),
                         [](const testing::TestParamInfo<TimeOutCase>& info) {
                             return info.param.name;
                         });

TEST_F(CrawlRunTest, StopWhileTheStartPageLoadsRecordsItBroken) {
    rig.Page(kStart, DocumentBuilder(kStart).Image("http://site/dir/a.png").Build(), 5);
    rig.pump.At(2, [&] {
        EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Stop");
        rig.crawl.btnStartStop_Click();
        EXPECT_TRUE(rig.crawl.InRun());
        rig.crawl.btnStartStop_Click();  // further clicks only clear the flag again
    });
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks],
                ElementsAre(std::string(kStart) + " <- "));
    EXPECT_THAT(rig.inet->probes, ElementsAre(kStart));  // the image was never taken up
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
    EXPECT_FALSE(rig.crawl.State().running);
    EXPECT_FALSE(rig.crawl.InRun());
    EXPECT_EQ(rig.sleeper.sleeps, 0);  // the flag is tested before the first sleep
}

TEST_F(CrawlRunTest, ClickDuringARunNeverStartsAnotherOne) {
    rig.Page(kStart, DocumentBuilder(kStart).Build(), 1);
    rig.pump.At(1, [&] {
        // Even a front end that shows the wrong caption only stops the run.
        rig.frontEnd.captions[CaptionControl::btnStartStop] = "Start";
        rig.crawl.btnStartStop_Click();
    });
    rig.Run(kStart);
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, "about:blank"));
    EXPECT_FALSE(rig.crawl.State().running);
}

TEST_F(CrawlRunTest, StartPageRecordCarriesTheEditedStartText) {
    rig.Page(kStart, DocumentBuilder(kStart).Build(), 1);
    rig.pump.At(1, [&] { rig.frontEnd.texts[TextControl::txtStartURL] = "http://edited/"; });
    rig.Run(kStart);
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, "about:blank"));
    EXPECT_THAT(ValidKeys(), ElementsAre("http://edited/"));
    EXPECT_EQ(rig.crawl.State().startURL, kStart);
}

TEST_F(CrawlRunTest, BaseURLAndExternalFlagAreTakenAtStart) {
    rig.frontEnd.values[CheckControl::chkExternal] = false;
    rig.Run(kStart, "http://site/");
    EXPECT_EQ(VisitControl::BaseURL(), "http://site/");
    EXPECT_FALSE(VisitControl::FollowExternal());
}

struct FileAccessCase {
    const char* name;
    const char* startURL;
    bool on;
};

class FileAccessTest : public CrawlRunTest, public testing::WithParamInterface<FileAccessCase> {};

TEST_P(FileAccessTest, IsOnOnlyForARunFromAFile) {
    rig.Run(GetParam().startURL);
    EXPECT_THAT(rig.fileAccess, ElementsAre(GetParam().on));
}

const FileAccessCase kFileAccessCases[] = {
    {"FileURL", "file:///srv/site/index.html", true},
    {"FileURLInCapitals", "FILE:///srv/site/index.html", true},
    {"HttpURL", "http://site/index.html", false},
    {"FileLaterInTheText", "http://site/file:x", false},
};

INSTANTIATE_TEST_SUITE_P(StartURLs, FileAccessTest, testing::ValuesIn(kFileAccessCases),
                         [](const testing::TestParamInfo<FileAccessCase>& info) {
                             return info.param.name;
                         });

// --- failures inside a run ---------------------------------------------------------------------

TEST_F(CrawlRunTest, FailureBelowThePathEndsTheRunAndUnwinds) {
    const std::string child = "http://site/dir/child.html";
    rig.Page(kStart,
             DocumentBuilder(kStart).Link(child).Link("http://site/dir/never.html").Build());
    rig.Page(child, DocumentBuilder(child).Image("http://site/dir/bad.png").Build());
    rig.inet->answers["http://site/dir/bad.png"].failures = -1;
    rig.Page("http://site/dir/never.html", DocumentBuilder().Build());

    rig.Run(kStart);

    ASSERT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(rig.frontEnd.failures[0], testing::HasSubstr("transfer engine failed"));
    // Shown once the window is idle again: the last call of the run.
    EXPECT_EQ(rig.frontEnd.log.back().rfind("failure ", 0), 0u);
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::lblDepth], "0");
    EXPECT_EQ(rig.crawl.State().currentDepth, 0);
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_FALSE(rig.crawl.InRun());
    EXPECT_EQ(rig.browser.navigations.back(), "about:blank");
    // The failing image is not retried by the link trap further up; the run ends at once.
    EXPECT_EQ(
        std::count(rig.inet->probes.begin(), rig.inet->probes.end(), "http://site/dir/bad.png"), 1);
    EXPECT_THAT(rig.browser.navigations,
                testing::Not(testing::Contains("http://site/dir/never.html")));
    EXPECT_THAT(BrokenKeys(), ElementsAre(kStart));
}

TEST_F(CrawlRunTest, FailureOfTheStartProbeRecordsTheStartPageBroken) {
    rig.inet->answers[kStart].failures = -1;
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.lists[ListControl::lstBrokenLinks],
                ElementsAre(std::string(kStart) + " <- "));
    EXPECT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
}

TEST_F(CrawlRunTest, RegistryRefusingTheStartPageIsShownOnce) {
    // The start text is edited during the run to a URL the run has already recorded.
    rig.Page(kStart, DocumentBuilder(kStart).Image("http://site/dir/a.png").Build(), 1);
    rig.File("http://site/dir/a.png");
    rig.pump.At(1, [&] { rig.frontEnd.texts[TextControl::txtStartURL] = "http://site/dir/a.png"; });
    rig.Run(kStart);
    EXPECT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(ValidKeys(), ElementsAre("http://site/dir/a.png"));
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::btnStartStop], "Start");
    EXPECT_EQ(rig.frontEnd.captions[CaptionControl::lblDocHref], "");
}

TEST_F(CrawlRunTest, ARunAfterAFailureStartsCleanly) {
    rig.Page(kStart, DocumentBuilder(kStart).Image("http://site/dir/bad.png").Build());
    rig.inet->answers["http://site/dir/bad.png"].failures = 1;
    rig.Run(kStart);
    ASSERT_EQ(rig.frontEnd.failures.size(), 1u);
    rig.File("http://site/dir/bad.png");
    rig.Run(kStart);
    EXPECT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(ValidKeys(), ElementsAre("http://site/dir/bad.png", kStart));
}

}  // namespace
}  // namespace quill::crawl_test
