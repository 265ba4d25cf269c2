// Every kind of verdict keeps its reason in the registry, as the crawl gives it: from the probe,
// the page load, the fragment look-up, the crawl scope, the user's skip test and a Stop.
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
    std::function<void(DocumentBuilder&, CrawlRig&)> setUp;  // the start page's links, the site
    std::string url;
    const char* verdict;  // "valid", "broken" or "skipped"
    std::string reason;
    const char* start = kStart;
};

using D = DocumentBuilder&;
using R = CrawlRig&;
const std::string kDir = "http://site/dir/";

// clang-format off
const ReasonCase kCases[] = {
    {[](D d, R r) { d.Image(kDir + "a.png"); r.File(kDir + "a.png"); }, kDir + "a.png", "valid", "200 OK"},
    {[](D d, R r) { d.Script("b.js"); r.Missing(kDir + "b.js"); }, kDir + "b.js", "broken", "404 Not Found"},
    {[](D d, R) { d.Link(kDir + "silent.html"); }, kDir + "silent.html", "broken", "no response"},
    {[](D d, R r) { d.Image("file:///srv/a.png"); r.File("file:///srv/a.png"); }, "file:///srv/a.png",
     "valid", "file on disk"},
    {[](D d, R) { d.Link(kDir + "index.html#harvest-fair"); }, kDir + "index.html#harvest-fair", "broken",
     "no element with id or name \"harvest-fair\""},
    {[](D d, R) { d.Link(kDir + "index.html#"); }, kDir + "index.html#", "valid", "top of the page"},
    {[](D d, R) { d.Link(kDir + "gone.html#a"); }, kDir + "gone.html#a", "broken", "page did not load"},
    {[](D d, R r) { d.Link(kDir + "old.html"); r.Page(kDir + "old.html", DocumentBuilder().Build(), 0, kDir + "new.html"); },
     kDir + "old.html", "broken", "page moved to http://site/dir/new.html"},
    {[](D d, R) { d.Link("mailto:bees@site"); }, "mailto:bees@site", "skipped", "not followed: mailto:"},
    {[](D d, R r) { d.Link("http://other/x.html"); r.frontEnd.values[CheckControl::chkExternal] = false; },
     "http://other/x.html", "skipped", "outside the base URL"},
    {[](D d, R r) { d.Link(kDir + "plans.zip"); r.File(kDir + "plans.zip"); VisitControl::AddExcludedExtension(".zip"); },
     kDir + "plans.zip", "valid", "200 OK; excluded extension .zip: not walked"},
    {[](D d, R r) { d.Image(kDir + "ads/banner.png"); r.skip = [](const std::string& u) { return u.find("/ads/") != u.npos; }; },
     kDir + "ads/banner.png", "skipped", "matches --skip"},
    {[](D, R) {}, "ftp://site/", "broken", "cannot crawl ftp: URLs, only http:, https: and file:", "ftp://site/"},
    {[](D d, R r) { r.Page(kStart, d.Build(), /*incompletePolls=*/5); r.pump.At(1, [&r] { r.crawl.btnStartStop_Click(); }); },
     kStart, "broken", "stopped"}};
// clang-format on

TEST(VerdictReasons, AreKeptBesideTheVerdict) {
    for (const ReasonCase& c : kCases) {
        SCOPED_TRACE(c.url);
        CrawlRig rig;
        DocumentBuilder start(kStart);
        c.setUp(start, rig);
        if (!rig.inet->answers.contains(kStart)) {  // unless the case has its own start page
            rig.Page(kStart, start.Build());
        }
        rig.Run(c.start);
        using namespace LinkStatistics;
        EXPECT_EQ(IsValidLink(c.url)     ? "valid"
                  : IsBrokenLink(c.url)  ? "broken"
                  : IsSkippedLink(c.url) ? "skipped"
                                         : "none",
                  std::string(c.verdict));
        EXPECT_EQ(ReasonOf(c.url), c.reason);
        // A start URL that cannot be crawled is never requested.
        EXPECT_EQ(rig.inet->probes.empty(), std::string(c.start) != kStart);
        VisitControl::ClearExcludedExtensions();
    }
}

TEST(VerdictReasonsRun, EveryStartEmptiesTheAdvisoriesWithTheRegistry) {
    CrawlRig rig;
    rig.Page(kStart, DocumentBuilder(kStart).Link("http://site/dir/a.html", "<a></a>").Build());
    rig.Page("http://site/dir/a.html", DocumentBuilder().Build());
    rig.Run(kStart);
    ASSERT_EQ(SyntaxChecker::AdvisoryCount(), 1u);
    rig.Run(kStart);
    EXPECT_EQ(SyntaxChecker::AdvisoryCount(), 1u);
}

}  // namespace
}  // namespace quill::crawl_test
