// The walkers that carry the crawl: hyperlinks with their visit modes, fragments on the page itself
// and on other pages, image-map areas, the error trap; frames in two passes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/page_urls.h"
#include "crawl_fakes.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill::crawl_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kStart = "http://site/dir/index.html";
constexpr const char* kP1 = "http://site/dir/p1.html";
constexpr const char* kP2 = "http://site/dir/p2.html";

std::string Valid(const std::string& url) {
    return "valid " + url;
}
std::string Broken(const std::string& url, const std::string& referrer = kStart) {
    return "broken " + url + " <- " + referrer;
}
std::string Skipped(const std::string& url, const std::string& referrer = kStart) {
    return "skipped " + url + " <- " + referrer;
}

class LinkWalkersTest : public testing::Test {
  protected:
    void SetUp() override { SyntaxChecker::ResetAdvisories(); }
    int ProbesOf(const std::string& url) const {
        return static_cast<int>(std::count(rig.inet->probes.begin(), rig.inet->probes.end(), url));
    }
    CrawlRig rig;
};

TEST_F(LinkWalkersTest, VisitModesDecideFollowCheckOrSkip) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link(kP1)                         // in scope: followed
                         .Link("http://other/x.html")       // external: checked only
                         .Link("mailto:me@site")            // skipped
                         .Link("http://site/dir/file.zip")  // excluded: checked only
                         .Link("ftp://site/dir/a.txt")      // scheme not crawled: skipped
                         .Build());
    rig.Page(kP1, DocumentBuilder(kP1).Title("P1").Build());
    rig.Page("http://other/x.html", DocumentBuilder().Build());
    rig.File("http://site/dir/file.zip");
    VisitControl::AddExcludedExtension(".zip");
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid(kP1), Valid("http://other/x.html"), Skipped("mailto:me@site"),
                            Valid("http://site/dir/file.zip"), Skipped("ftp://site/dir/a.txt"),
                            Valid(kStart)));
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, "about:blank"));
    EXPECT_EQ(LinkStatistics::ValidLinks().At("http://other/x.html"), 0);
}

TEST_F(LinkWalkersTest, EveryNewLinkGetsTheAnchorAdviceWhateverItsOutcome) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link("mailto:me@site", "<a href=mailto:me@site>x</a>")
                         .Link(kP1, "<a href=p1.html>x</a>")
                         .Link(kP1, "<a href=p1.html>again</a>")  // met before: no advice
                         .Link("http://site/dir/p1.html#x", "<a href=p1.html#x>salt</a>")
                         .Build());
    rig.Page(kP1, DocumentBuilder(kP1).Build());
    rig.Run(kStart);
    std::vector<std::string> subjects;
    for (const auto& advisory : SyntaxChecker::Advisories()) {
        subjects.push_back(advisory.subject + " @ " + advisory.referrer);
    }
    EXPECT_THAT(subjects, ElementsAre(std::string("Anchor mailto:me@site @ ") + kStart,
                                      std::string("Anchor http://site/dir/p1.html @ ") + kStart));
}

TEST_F(LinkWalkersTest, ImageMapAreasAreHandledByTheirHref) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link(kP1, "<area href=p1.html>", "AREA")
                         .Link("http://site/dir/gone.html", "<area href=gone.html>", "AREA")
                         .Build());
    rig.Page(kP1, DocumentBuilder(kP1).Build());
    rig.Missing("http://site/dir/gone.html");
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid(kP1), Broken("http://site/dir/gone.html"), Valid(kStart)));
    EXPECT_THAT(SyntaxChecker::Advisories(), IsEmpty());  // anchor advice is for <a> only
}

TEST_F(LinkWalkersTest, ExternalFlagClearedDuringARunSkipsLaterExternalLinks) {
    rig.Page(
        kStart,
        DocumentBuilder(kStart).Link("http://other/a.html").Link("http://other/b.html").Build());
    rig.Page("http://other/a.html", DocumentBuilder().Build());
    rig.inet->answers["http://other/a.html"].busyPolls = 1;
    rig.Page("http://other/b.html", DocumentBuilder().Build());
    rig.pump.At(1, [] { VisitControl::SetFollowExternal(false); });
    rig.Run(kStart);
    EXPECT_THAT(
        RecordingOrder(rig.frontEnd),
        ElementsAre(Valid("http://other/a.html"), Skipped("http://other/b.html"), Valid(kStart)));
}

TEST_F(LinkWalkersTest, ExclusionAddedDuringARunMakesLaterLinksCheckOnly) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Link(kP2).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Build(), 1);
    rig.Page(kP2, DocumentBuilder(kP2).Title("P2").Build());
    rig.pump.At(1, [] { VisitControl::AddExcludedExtension(".html"); });
    rig.Run(kStart);
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, kP1, "about:blank"));
    EXPECT_THAT(ValidKeys(), ElementsAre(kP1, kP2, kStart));
}

// --- fragments -----------------------------------------------------------------------------

struct FragmentCase {
    const char* name;
    const char* href;
    bool good;
};

class SamePageFragmentTest : public LinkWalkersTest,
                             public testing::WithParamInterface<FragmentCase> {};

TEST_P(SamePageFragmentTest, IsJudgedByThePageItsOwnAnchorsAndIds) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Anchor("part")
                         .Anchor("two words")
                         .Id("sec-2")
                         .Link(GetParam().href)
                         .Build());
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd).front(),
                GetParam().good ? Valid(GetParam().href) : Broken(GetParam().href));
    EXPECT_EQ(rig.inet->probes.size(), 1u);  // the start page's own probe only
    EXPECT_THAT(rig.pageLoader.loads, IsEmpty());
    const auto& map =
        GetParam().good ? LinkStatistics::ValidLinks() : LinkStatistics::BrokenLinks();
    EXPECT_EQ(map.At(GetParam().href), 0);
}

const FragmentCase kSamePageCases[] = {
    {"NamedAnchor", "http://site/dir/index.html#part", true},
    {"ElementId", "http://site/dir/index.html#sec-2", true},
    {"NameInOtherLetterCase", "http://site/dir/index.html#Part", false},
    {"IdInOtherLetterCase", "http://site/dir/index.html#SEC-2", false},
    {"NoSuchTarget", "http://site/dir/index.html#nowhere", false},
    {"PercentEncodedName", "http://site/dir/index.html#two%20words", true},
    {"BareHashIsTheTop", "http://site/dir/index.html#", true},
};

INSTANTIATE_TEST_SUITE_P(Fragments, SamePageFragmentTest, testing::ValuesIn(kSamePageCases),
                         [](const testing::TestParamInfo<FragmentCase>& info) {
                             return info.param.name;
                         });

TEST_F(LinkWalkersTest, TwoFragmentsOfOnePageAreTwoURLs) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Anchor("a")
                         .Link(std::string(kStart) + "#a")
                         .Link(std::string(kStart) + "#b")
                         .Link(std::string(kStart) + "#a")
                         .Build());
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid(std::string(kStart) + "#a"), Broken(std::string(kStart) + "#b"),
                            Valid(kStart)));
}

class OtherPageFragmentTest : public LinkWalkersTest,
                              public testing::WithParamInterface<FragmentCase> {};

TEST_P(OtherPageFragmentTest, IsLookedForInThatPageWhichMustLoad) {
    rig.Page(kStart, DocumentBuilder(kStart).Anchor("part").Link(GetParam().href).Build());
    rig.pageLoader.pages[kP1] =
        LoaderPage{"", DocumentBuilder(kP1).Anchor("part").Id("sec").Build(), 0, 3};
    rig.pageLoader.pages[kP2] = LoaderPage{"", DocumentBuilder(kP2).Build(), 0, 2};
    rig.Run(kStart);
    const std::string href = GetParam().href;
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(GetParam().good ? Valid(href) : Broken(href), Valid(kStart)));
    EXPECT_THAT(rig.pageLoader.loads, ElementsAre(WithoutFragment(href)));
    EXPECT_THAT(rig.browser.navigations, ElementsAre(kStart, "about:blank"));  // shown page kept
    EXPECT_EQ(rig.inet->probes.size(), 1u);
}

const FragmentCase kOtherPageCases[] = {
    {"NamedAnchorThere", "http://site/dir/p1.html#part", true},
    {"IdThere", "http://site/dir/p1.html#sec", true},
    {"AnchorOnlyOnThisPage", "http://site/dir/p2.html#part", false},
    {"PageDoesNotLoad", "http://site/dir/missing.html#part", false},
    {"BareHashOfALoadingPage", "http://site/dir/p2.html#", true},
    {"BareHashOfAMissingPage", "http://site/dir/missing.html#", false},
    {"ExternalPage", "http://other/x.html#part", false},
};

INSTANTIATE_TEST_SUITE_P(Fragments, OtherPageFragmentTest, testing::ValuesIn(kOtherPageCases),
                         [](const testing::TestParamInfo<FragmentCase>& info) {
                             return info.param.name;
                         });

TEST_F(LinkWalkersTest, OtherPageIsLoadedOnceAndItsLoadTimeGoesToTheFirstLink) {
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Link(std::string(kP1) + "#a")
                         .Link(std::string(kP1) + "#b")
                         .Link(std::string(kP1) + "#c")
                         .Build());
    rig.pageLoader.pages[kP1] =
        LoaderPage{"", DocumentBuilder(kP1).Anchor("a").Id("c").Build(), 0, 4};
    rig.Run(kStart);
    EXPECT_THAT(rig.pageLoader.loads, ElementsAre(kP1));
    EXPECT_EQ(LinkStatistics::ValidLinks().At(std::string(kP1) + "#a"), 4);
    EXPECT_EQ(LinkStatistics::BrokenLinks().At(std::string(kP1) + "#b"), 0);
    EXPECT_EQ(LinkStatistics::ValidLinks().At(std::string(kP1) + "#c"), 0);
    EXPECT_FALSE(LinkStatistics::Referrers().Contains(kP1));  // the page itself is not recorded
}

TEST_F(LinkWalkersTest, OtherPageIsWaitedForLikeAPage) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(std::string(kP1) + "#a").Build());
    rig.pageLoader.pages[kP1] = LoaderPage{"", DocumentBuilder(kP1).Anchor("a").Build(), 2, 2};
    rig.Run(kStart);
    EXPECT_EQ(rig.sleeper.sleeps, 2);
    EXPECT_EQ(rig.pump.pumps, 12);
    EXPECT_THAT(ValidKeys(), ElementsAre(std::string(kP1) + "#a", kStart));
}

TEST_F(LinkWalkersTest, StopWhileWaitingForAnotherPageBreaksTheLink) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(std::string(kP1) + "#a").Link(kP2).Build());
    rig.pageLoader.pages[kP1] = LoaderPage{"", DocumentBuilder(kP1).Anchor("a").Build(), 5, 1};
    rig.pump.At(2, [&] { rig.crawl.btnStartStop_Click(); });
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Broken(std::string(kP1) + "#a"), Valid(kStart)));
}

TEST_F(LinkWalkersTest, FragmentPagesAreForgottenBetweenRuns) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(std::string(kP1) + "#a").Build());
    rig.pageLoader.pages[kP1] = LoaderPage{"", DocumentBuilder(kP1).Build(), 0, 0};
    rig.Run(kStart);
    rig.pageLoader.pages[kP1] = LoaderPage{"", DocumentBuilder(kP1).Anchor("a").Build(), 0, 0};
    rig.Run(kStart);
    EXPECT_THAT(rig.pageLoader.loads, ElementsAre(kP1, kP1));
    EXPECT_THAT(ValidKeys(), ElementsAre(std::string(kP1) + "#a", kStart));
}

// --- the error trap --------------------------------------------------------------------------

TEST_F(LinkWalkersTest, FailureWithALinkIsTriedOnceMoreByItsHref) {
    rig.Page(kStart, DocumentBuilder(kStart).Link("http://other/x.html").Link(kP1).Build());
    rig.File("http://other/x.html");
    rig.inet->answers["http://other/x.html"].failures = 1;
    rig.Page(kP1, DocumentBuilder(kP1).Build());
    rig.Run(kStart);
    EXPECT_EQ(ProbesOf("http://other/x.html"), 2);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid("http://other/x.html"), Valid(kP1), Valid(kStart)));
    EXPECT_THAT(rig.frontEnd.failures, IsEmpty());
}

TEST_F(LinkWalkersTest, SecondFailureWithALinkEndsTheRun) {
    rig.Page(kStart, DocumentBuilder(kStart).Link(kP1).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Link("http://other/x.html").Link(kP2).Build());
    rig.inet->answers["http://other/x.html"].failures = -1;
    rig.Page(kP2, DocumentBuilder(kP2).Build());
    rig.Run(kStart);
    // Twice on p1's trap, then the failure passes the start page's trap untouched.
    EXPECT_EQ(ProbesOf("http://other/x.html"), 2);
    EXPECT_EQ(ProbesOf(kP1), 1);
    EXPECT_EQ(ProbesOf(kP2), 0);
    EXPECT_EQ(rig.frontEnd.failures.size(), 1u);
    EXPECT_THAT(RecordingOrder(rig.frontEnd), ElementsAre(Broken(kStart, "")));
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_EQ(rig.crawl.State().currentDepth, 0);
}

// --- frames ----------------------------------------------------------------------------------

TEST_F(LinkWalkersTest, FramesetFramesAreVisitedCheckedOrSkippedInFrameOrder) {
    const std::string withFragment = std::string(kP1) + "#part";
    rig.Page(kStart, DocumentBuilder(kStart)
                         .Frame("http://site/dir/nav.html")
                         .Frame("http://site/dir/gone.html")
                         .Frame("http://other/ad.html")
                         .Frame("about:blank")
                         .Frame("http://site/dir/nav.html")
                         .Frame("http://site/dir/f.zip")  // excluded: checked, not loaded
                         .Frame(withFragment)             // loaded, no fragment test
                         .Build());
    rig.Page("http://site/dir/nav.html",
             DocumentBuilder("http://site/dir/nav.html").Image("http://site/dir/n.png").Build());
    rig.Page(withFragment, DocumentBuilder(withFragment).Build());
    rig.File("http://site/dir/n.png");
    rig.File("http://site/dir/f.zip");
    rig.Missing("http://site/dir/gone.html");
    VisitControl::AddExcludedExtension(".zip");
    rig.frontEnd.values[CheckControl::chkExternal] = false;
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid("http://site/dir/n.png"), Valid("http://site/dir/nav.html"),
                            Broken("http://site/dir/gone.html"), Skipped("http://other/ad.html"),
                            Skipped("about:blank"), Valid("http://site/dir/f.zip"),
                            Valid(withFragment), Valid(kStart)));
    EXPECT_THAT(rig.browser.navigations,
                ElementsAre(kStart, "http://site/dir/nav.html", withFragment, "about:blank"));
    EXPECT_THAT(rig.pageLoader.loads, IsEmpty());
}

TEST_F(LinkWalkersTest, StopDuringANestedVisitEndsEveryWalkOnThePath) {
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
                      .Frame("http://site/dir/f2.html")
                      .Build());
    rig.File("http://site/dir/s.js");
    rig.Page("http://site/dir/slow.html", DocumentBuilder().Build(), 3);
    rig.pump.At(4, [&] { rig.crawl.btnStartStop_Click(); });  // after the first sleep
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd),
                ElementsAre(Valid("http://site/dir/s.js"), Broken("http://site/dir/slow.html", kP1),
                            Valid(kP1), Valid(kStart)));
    EXPECT_EQ(LinkStatistics::BrokenLinks().At("http://site/dir/slow.html"), 1);  // time waited
    EXPECT_THAT(rig.browser.navigations,
                ElementsAre(kStart, kP1, "http://site/dir/slow.html", "about:blank"));
    EXPECT_EQ(rig.crawl.State().currentDepth, 0);
    EXPECT_THAT(OpenPages(), IsEmpty());
}

TEST_F(LinkWalkersTest, FramesetWithinItsOwnFrameIsNotEnteredAgain) {
    rig.Page(kStart, DocumentBuilder(kStart).Frame(kP1).Frame(kP2).Build());
    rig.Page(kP1, DocumentBuilder(kP1).Frame(kStart).Frame(kP2).Build());
    rig.Page(kP2, DocumentBuilder(kP2).Build());
    rig.Run(kStart);
    EXPECT_THAT(RecordingOrder(rig.frontEnd), ElementsAre(Valid(kP2), Valid(kP1), Valid(kStart)));
}

}  // namespace
}  // namespace quill::crawl_test
