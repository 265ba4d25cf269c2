// The dispatch of a page to its walkers and the walkers that only verify: images, applets,
// scripts, style sheets and forms; the seen-before test; CheckLink and RecordLinkResult.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl_fakes.h"
#include "probe/url_checker.h"
#include "registry/link_statistics.h"

namespace quill::crawl_test {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr const char* kStart = "http://site/dir/index.html";

class VerifyWalkersTest : public testing::Test {
  protected:
    void SetUp() override {
        SyntaxChecker::ResetAdvisories();
        LinkStatistics::ResetLinkStatistics();
    }

    // Probes without the start page's own.
    std::vector<std::string> ElementProbes() const {
        std::vector<std::string> probes(rig.inet->probes.begin() + 1, rig.inet->probes.end());
        return probes;
    }

    CrawlRig rig;
};

// A page with one element of every kind, each answering 200.
std::shared_ptr<const platform::Document> EveryKind() {
    return DocumentBuilder(kStart)
        .Title("Every kind")
        .Image("http://site/dir/i.png")
        .Applet("http://site/dir/index.html", std::string("a.jar"))
        .Script("s.js")
        .StyleSheet("c.css")
        .Link("http://other/l.html")  // checked only: no nested page reads the boxes
        .Frame("http://other/f.html")
        .Form("post.cgi")
        .Build();
}

void ServeEveryKind(CrawlRig& rig) {
    rig.Page(kStart, EveryKind());
    for (const char* url :
         {"http://site/dir/i.png", "http://site/dir/a.jar", "http://site/dir/s.js",
          "http://site/dir/c.css", "http://site/dir/post.cgi"}) {
        rig.File(url);
    }
    rig.File("http://other/l.html");
    rig.File("http://other/f.html");
}

TEST_F(VerifyWalkersTest, WalkersRunInTheFixedOrderEachBoxReadAtItsTurn) {
    ServeEveryKind(rig);
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(),
                ElementsAre("http://site/dir/i.png", "http://site/dir/a.jar",
                            "http://site/dir/s.js", "http://site/dir/c.css", "http://other/l.html",
                            "http://other/f.html", "http://site/dir/post.cgi"));
    EXPECT_THAT(rig.frontEnd.valueReads,
                ElementsAre("chkExternal", "chkImages", "chkApplets", "chkJSStyle", "chkJSStyle",
                            "chkLinks", "chkFrames", "chkForms"));
}

struct BoxCase {
    const char* name;
    CheckControl box;
    std::vector<std::string> probes;
};

class OptionBoxTest : public VerifyWalkersTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(OptionBoxTest, TickedAloneWalksOnlyItsCollections) {
    ServeEveryKind(rig);
    for (auto& [box, ticked] : rig.frontEnd.values) {
        ticked = box == GetParam().box || box == CheckControl::chkExternal;
    }
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(), ElementsAreArray(GetParam().probes));
    // Whatever is ticked, the title is shown and the page recorded.
    EXPECT_THAT(rig.frontEnd.log, testing::Contains("lblDocTitle=Every kind"));
    EXPECT_EQ(ValidKeys().back(), kStart);
}

const BoxCase kBoxCases[] = {
    {"Images", CheckControl::chkImages, {"http://site/dir/i.png"}},
    {"Applets", CheckControl::chkApplets, {"http://site/dir/a.jar"}},
    {"ScriptsBeforeStyleSheets",
     CheckControl::chkJSStyle,
     {"http://site/dir/s.js", "http://site/dir/c.css"}},
    {"Links", CheckControl::chkLinks, {"http://other/l.html"}},
    {"Frames", CheckControl::chkFrames, {"http://other/f.html"}},
    {"Forms", CheckControl::chkForms, {"http://site/dir/post.cgi"}},
    {"NoneButExternal", CheckControl::chkExternal, {}},
};

INSTANTIATE_TEST_SUITE_P(Boxes, OptionBoxTest, testing::ValuesIn(kBoxCases),
                         [](const testing::TestParamInfo<BoxCase>& info) {
                             return info.param.name;
                         });

TEST_F(VerifyWalkersTest, BoxUntickedDuringAWalkerCountsForTheLaterWalkersOfThePage) {
    ServeEveryKind(rig);
    rig.inet->answers["http://site/dir/i.png"].busyPolls = 1;
    rig.pump.At(1, [&] { rig.frontEnd.values[CheckControl::chkJSStyle] = false; });
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(),
                ElementsAre("http://site/dir/i.png", "http://site/dir/a.jar", "http://other/l.html",
                            "http://other/f.html", "http://site/dir/post.cgi"));
}

TEST_F(VerifyWalkersTest, PageThatIsNotHtmlIsNotWalked) {
    rig.browser.pages[kStart] = BrowserPage{"", platform::Document::NotHtml(kStart)};
    rig.File(kStart);
    rig.Run(kStart);
    EXPECT_THAT(rig.frontEnd.Logged("lblDocTitle="), ElementsAre("lblDocTitle=", "lblDocTitle="));
    EXPECT_THAT(rig.frontEnd.valueReads, ElementsAre("chkExternal"));
    EXPECT_THAT(ValidKeys(), ElementsAre(kStart));
}

TEST_F(VerifyWalkersTest, ImagesAreVerifiedRecordedAndAdvisedWhenGood) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Image("http://site/dir/good.png", "<img src=good.png>", "")
                         .Image("http://site/dir/gone.png", "<img src=gone.png>", "")
                         .Image("")
                         .Build());
    rig.File("http://site/dir/good.png");
    rig.Missing("http://site/dir/gone.png");
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre("valid http://site/dir/good.png",
                            std::string("broken http://site/dir/gone.png <- ") + kStart,
                            std::string("broken  <- ") + kStart,  // an empty src is checked too
                            std::string("valid ") + kStart));
    ASSERT_EQ(SyntaxChecker::Advisories().size(), 1u);  // a broken image gets no advice
    EXPECT_EQ(SyntaxChecker::Advisories()[0].subject, "Image http://site/dir/good.png");
    EXPECT_EQ(SyntaxChecker::Advisories()[0].referrer, kStart);
}

TEST_F(VerifyWalkersTest, URLSeenOnAnEarlierPageIsNotVerifiedAgain) {
    const std::string p1 = "http://site/dir/p1.html";
    rig.Page(
        kStart,
        DocumentBuilder(kStart).Image("http://site/dir/logo.png", "<img>", "").Link(p1).Build());
    rig.Page(p1, DocumentBuilder(p1)
                     .Image("http://site/dir/logo.png", "<img>", "")
                     .Script("logo.png")
                     .Form(kStart)  // the open start page
                     .Link(p1)      // itself
                     .Build());
    rig.File("http://site/dir/logo.png");
    rig.Run(kStart);
    EXPECT_THAT(rig.inet->probes, ElementsAre(kStart, "http://site/dir/logo.png", p1));
    EXPECT_EQ(SyntaxChecker::Advisories().size(), 1u);
    EXPECT_EQ(LinkStatistics::Referrers().At("http://site/dir/logo.png"), kStart);
}

struct AppletCase {
    const char* name;
    const char* baseHref;
    std::optional<std::string> archive;
    const char* codeBase;
    const char* code;
    const char* url;
};

class AppletTest : public VerifyWalkersTest, public testing::WithParamInterface<AppletCase> {};

TEST_P(AppletTest, URLIsBuiltFromTheElement) {
    const AppletCase& c = GetParam();
    rig.Page(kStart,
             DocumentBuilder(kStart).Applet(c.baseHref, c.archive, c.codeBase, c.code).Build());
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(), ElementsAre(c.url));
}

const AppletCase kAppletCases[] = {
    {"Archive", "http://site/dir/index.html", std::string("lib/a.jar"), "cls/", "A.class",
     "http://site/dir/lib/a.jar"},
    {"EmptyArchiveIsTheBaseDirectory", "http://site/dir/index.html", std::string(""), "cls/",
     "A.class", "http://site/dir/"},
    {"NoArchiveFallsBackToCodeBaseAndCode", "http://site/dir/index.html", std::nullopt, "cls/",
     "A.class", "http://site/dir/cls/A.class"},
    {"NothingButABase", "http://site/dir/", std::nullopt, "", "", "http://site/dir/"},
};

INSTANTIATE_TEST_SUITE_P(Applets, AppletTest, testing::ValuesIn(kAppletCases),
                         [](const testing::TestParamInfo<AppletCase>& info) {
                             return info.param.name;
                         });

TEST_F(VerifyWalkersTest, ScriptsStyleSheetsAndFormsAreResolvedAsWritten) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Script("")  // inline script: nothing to check
                         .Script("/js/a.js")
                         .Script("//cdn/x.js")
                         .StyleSheet("")  // style block
                         .StyleSheet("../up.css")
                         .StyleSheet("HTTPS://cdn/y.css")
                         .Form("")  // posts to its own directory
                         .Form("search?q=1")
                         .Build());
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(),
                ElementsAre("http://site/js/a.js", "http://cdn/x.js", "http://site/dir/../up.css",
                            "HTTPS://cdn/y.css", "http://site/dir/", "http://site/dir/search?q=1"));
}

TEST_F(VerifyWalkersTest, CheckLinkProbesFragmentsAndTimesTheProbe) {
    rig.inet->answers["http://site/a.js#x"] = ProbeAnswer{"HTTP/1.1 200 OK\r\n", 2, 0};
    URLChecker::SetInetControl(rig.inet);
    int loadTime = -1;
    EXPECT_TRUE(rig.crawl.CheckLink("http://site/a.js#x", loadTime));
    EXPECT_EQ(loadTime, 2);
    EXPECT_THAT(rig.frontEnd.log, ElementsAre("lblDocHref=http://site/a.js#x"));
    EXPECT_THAT(rig.inet->probes, ElementsAre("http://site/a.js#x"));
}

TEST_F(VerifyWalkersTest, CheckLinkTrustsAValidURLAndLeavesTheLoadTime) {
    LinkStatistics::AddValidLink("http://site/a.js", 3, "x");
    int loadTime = 42;
    EXPECT_TRUE(rig.crawl.CheckLink("http://site/a.js", loadTime));
    EXPECT_EQ(loadTime, 42);
    EXPECT_THAT(rig.inet->probes, IsEmpty());
}

struct RecordCase {
    const char* name;
    int status;
    const char* referrer;
    int valid, broken, skipped;
    std::vector<std::string> log;
};

class RecordLinkResultTest : public VerifyWalkersTest,
                             public testing::WithParamInterface<RecordCase> {};

TEST_P(RecordLinkResultTest, CountsShowsListsAndRegistersInThatOrder) {
    const RecordCase& c = GetParam();
    rig.crawl.RecordLinkResult("http://u/", c.referrer, c.status, 5);
    EXPECT_THAT(rig.frontEnd.log, ElementsAreArray(c.log));
    EXPECT_EQ(LinkStatistics::ValidLinks().Count(), c.valid);
    EXPECT_EQ(LinkStatistics::BrokenLinks().Count(), c.broken);
    EXPECT_EQ(LinkStatistics::SkippedLinks().Count(), c.skipped);
    if (c.valid + c.broken + c.skipped > 0) {
        EXPECT_EQ(LinkStatistics::Referrers().At("http://u/"), c.referrer);
    }
    if (c.valid + c.broken > 0) {  // the load time goes with a verdict
        const auto& map =
            c.valid > 0 ? LinkStatistics::ValidLinks() : LinkStatistics::BrokenLinks();
        EXPECT_EQ(map.At("http://u/"), 5);
    }
}

// clang-format off
const RecordCase kRecordCases[] = {
    {"Valid", 0, "http://p/", 1, 0, 0, {"lblNumSuccessfulLinks=1", "+lstGoodLinks http://u/"}},
    {"Broken", -1, "http://p/", 0, 1, 0,
     {"lblNumBrokenLinks=1", "+lstBrokenLinks http://u/ <- http://p/"}},
    {"BrokenWithoutReferrer", -1, "", 0, 1, 0,
     {"lblNumBrokenLinks=1", "+lstBrokenLinks http://u/ <- "}},
    {"Skipped", 1, "http://p/", 0, 0, 1,
     {"lblNumSkippedLinks=1", "+lstSkippedLinks http://u/ <- http://p/"}},
    {"OtherStatusIsIgnored", 2, "http://p/", 0, 0, 0, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Statuses, RecordLinkResultTest, testing::ValuesIn(kRecordCases),
                         [](const testing::TestParamInfo<RecordCase>& info) {
                             return info.param.name;
                         });

// --- Stop in the middle of a walker --------------------------------------------------------

struct StopCase {
    const char* name;
    std::shared_ptr<const platform::Document> page;
    std::vector<std::string> probes;  // after the start page's own
};

class StopDuringWalkerTest : public VerifyWalkersTest,
                             public testing::WithParamInterface<StopCase> {};

TEST_P(StopDuringWalkerTest, WalkersThatHonourTheFlagTakeNoFurtherElement) {
    rig.Page(kStart, GetParam().page);
    // The first element probe is slow; Stop is clicked while it waits.
    const std::string first = GetParam().probes.front();
    rig.inet->answers[first] = ProbeAnswer{"HTTP/1.1 200 OK\r\n", 1, 0};
    rig.pump.At(1, [&] { rig.crawl.btnStartStop_Click(); });
    rig.Run(kStart);
    EXPECT_THAT(ElementProbes(), ElementsAreArray(GetParam().probes));
    EXPECT_THAT(ValidKeys().back(), kStart);  // the page was walked, so it is good
}

const StopCase kStopCases[] = {
    {"ImagesStop",
     DocumentBuilder(kStart).Image("http://s/1.png").Image("http://s/2.png").Form("f").Build(),
     {"http://s/1.png"}},
    {"AppletsStop",
     DocumentBuilder(kStart)
         .Applet("http://s/", std::string("1.jar"))
         .Applet("http://s/", std::string("2.jar"))
         .Build(),
     {"http://s/1.jar"}},
    {"ScriptsAndStyleSheetsSendNoRequestAfterStop",
     DocumentBuilder(kStart)
         .Script("http://s/1.js")
         .Script("http://s/2.js")
         .StyleSheet("http://s/1.css")
         .Link("http://site/dir/l.html")
         .Form("f")
         .Build(),
     {"http://s/1.js"}},
    {"FormsStop",
     DocumentBuilder(kStart).Form("http://s/1").Form("http://s/2").Build(),
     {"http://s/1"}},
};

INSTANTIATE_TEST_SUITE_P(Walkers, StopDuringWalkerTest, testing::ValuesIn(kStopCases),
                         [](const testing::TestParamInfo<StopCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace quill::crawl_test
