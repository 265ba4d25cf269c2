// Every kind of verdict keeps its reason in the registry, as the crawl gives it: from the probe,
// the page load, the fragment look-up, the crawl scope, the user's skip test and a Stop. (Further
// referrers: cli_end_to_end_test.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "advisories/syntax_checker.h"
#include "crawl_fakes.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill::crawl_test {
namespace {

constexpr const char* kStart = "http://site/dir/index.html";

struct ReasonCase {
    const char* name;
    // Adds to the start page's document and the site what the case is about.
    std::function<void(DocumentBuilder&, CrawlRig&)> setUp;
    std::string url;
    const char* verdict;  // "valid", "broken" or "skipped"
    std::string reason;
    const char* start = kStart;
};

class VerdictReasons : public testing::TestWithParam<ReasonCase> {
  protected:
    void TearDown() override { VisitControl::ClearExcludedExtensions(); }
};

TEST_P(VerdictReasons, AreKeptBesideTheVerdict) {
    CrawlRig rig;
    DocumentBuilder start(kStart);
    GetParam().setUp(start, rig);
    if (!rig.inet->answers.contains(kStart)) {  // unless the case has its own start page
        rig.Page(kStart, start.Build());
    }
    rig.Run(GetParam().start);

    const std::string& url = GetParam().url;
    using namespace LinkStatistics;
    EXPECT_EQ(IsValidLink(url)     ? "valid"
              : IsBrokenLink(url)  ? "broken"
              : IsSkippedLink(url) ? "skipped"
                                   : "none",
              std::string(GetParam().verdict));
    EXPECT_EQ(LinkStatistics::ReasonOf(url), GetParam().reason);
    // A start URL that cannot be crawled is never requested.
    EXPECT_EQ(rig.inet->probes.empty(), std::string(GetParam().start) != kStart);
}

using D = DocumentBuilder&;
using R = CrawlRig&;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Crawl, VerdictReasons, testing::Values(
    ReasonCase{"ProbeOk", [](D d, R r) { d.Image("http://site/dir/a.png"); r.File("http://site/dir/a.png"); },
               "http://site/dir/a.png", "valid", "200 OK"},
    ReasonCase{"ProbeStatus", [](D d, R r) { d.Script("b.js"); r.Missing("http://site/dir/b.js"); },
               "http://site/dir/b.js", "broken", "404 Not Found"},
    ReasonCase{"NoResponse", [](D d, R) { d.Link("http://site/dir/silent.html"); },
               "http://site/dir/silent.html", "broken", "no response"},
    ReasonCase{"FileOnDisk", [](D d, R r) { d.Image("file:///srv/a.png"); r.File("file:///srv/a.png"); },
               "file:///srv/a.png", "valid", "file on disk"},
    ReasonCase{"MissingAnchor", [](D d, R) { d.Link("http://site/dir/index.html#harvest-fair"); },
               "http://site/dir/index.html#harvest-fair", "broken",
               "no element with id or name \"harvest-fair\""},
    ReasonCase{"TopOfThePage", [](D d, R) { d.Link("http://site/dir/index.html#"); },
               "http://site/dir/index.html#", "valid", "top of the page"},
    ReasonCase{"FragmentOfAPageThatDoesNotLoad", [](D d, R) { d.Link("http://site/dir/gone.html#a"); },
               "http://site/dir/gone.html#a", "broken", "page did not load"},
    ReasonCase{"PageMoved", [](D d, R r) {
                   d.Link("http://site/dir/old.html");
                   r.Page("http://site/dir/old.html", DocumentBuilder().Build(), 0, "http://site/dir/new.html");
               },
               "http://site/dir/old.html", "broken", "page moved to http://site/dir/new.html"},
    ReasonCase{"OtherScheme", [](D d, R) { d.Link("mailto:bees@site"); },
               "mailto:bees@site", "skipped", "not followed: mailto:"},
    ReasonCase{"OutsideTheBase", [](D d, R r) {
                   d.Link("http://other/x.html");
                   r.frontEnd.values[CheckControl::chkExternal] = false;
               },
               "http://other/x.html", "skipped", "outside the base URL"},
    ReasonCase{"ExcludedExtension", [](D d, R r) {
                   d.Link("http://site/dir/plans.zip");
                   r.File("http://site/dir/plans.zip");
                   VisitControl::AddExcludedExtension(".zip");
               },
               "http://site/dir/plans.zip", "valid", "200 OK; excluded extension .zip: not walked"},
    ReasonCase{"SkipTest", [](D d, R r) {
                   d.Image("http://site/dir/ads/banner.png");
                   r.skip = [](const std::string& url) { return url.find("/ads/") != std::string::npos; };
               },
               "http://site/dir/ads/banner.png", "skipped", "matches --skip"},
    ReasonCase{"StartPageOfAnotherScheme", [](D, R) {}, "ftp://site/", "broken",
               "cannot crawl ftp: URLs, only http:, https: and file:", "ftp://site/"},
    ReasonCase{"StoppedWhileLoading", [](D d, R r) {
                   r.Page(kStart, d.Build(), /*incompletePolls=*/5);
                   r.pump.At(1, [&r] { r.crawl.btnStartStop_Click(); });
               },
               kStart, "broken", "stopped"}),
    [](const testing::TestParamInfo<ReasonCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(VerdictReasonsRun, EveryStartEmptiesTheAdvisoriesWithTheRegistry) {
    CrawlRig rig;
    rig.Page(kStart, DocumentBuilder(kStart).Link("http://site/dir/a.html", "<a></a>").Build());
    rig.Page("http://site/dir/a.html", DocumentBuilder().Build());
    rig.Run(kStart);
    ASSERT_EQ(SyntaxChecker::Advisories().size(), 1u);
    rig.Run(kStart);
    EXPECT_EQ(SyntaxChecker::Advisories().size(), 1u);
}

}  // namespace
}  // namespace quill::crawl_test
