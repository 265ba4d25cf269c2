// What the look-ahead plans to fetch for a page: which URLs, with which requests, in which order,
// worked out from hand-built documents. Each case is also walked by the crawl on recording fakes,
// and the walk must ask for exactly what the plan says, in the same order.
#include "crawl/lookahead_plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/crawl.h"
#include "crawl/element_urls.h"
#include "crawl_fakes.h"
#include "scope/visit_control.h"

namespace quill::lookahead {
namespace {

using crawl_test::DocumentBuilder;
using testing::ElementsAreArray;

constexpr char kPage[] = "http://site/dir/page.html";

// One expected fetch, written short: "HEAD url" (a probe), "PAGE url" (probe and load), "LOAD url"
// (a load without probe: frame with "#"), "FRAGMENT url -> address", "RECORD url" (recorded
// without a request); "+" after the kind marks a page that will be walked, and the position is
// given as walker slot and index.
struct Fetch {
    const char* text;
    WalkerSlot slot;
    int index;
};

std::string Describe(const PlannedFetch& fetch) {
    switch (fetch.kind) {
        case FetchKind::kProbe:
            return "HEAD " + fetch.url;
        case FetchKind::kPage:
            return std::string(fetch.walked ? "PAGE+ " : "PAGE ") + fetch.url;
        case FetchKind::kUnprobedPage:
            return std::string(fetch.walked ? "LOAD+ " : "LOAD ") + fetch.url + " -> " +
                   fetch.fetchURL;
        case FetchKind::kFragmentPage:
            return "FRAGMENT " + fetch.url + " -> " + fetch.fetchURL;
        case FetchKind::kRecordOnly:
            return "RECORD " + fetch.url;
    }
    return "?";
}

struct PlanCase {
    const char* name;
    std::shared_ptr<const platform::Document> document;
    std::vector<Fetch> expected;
    // Changes to the default settings: every box ticked, unlimited depth, base http://site/dir/,
    // external links checked, ".zip" excluded; the page walked at depth 1.
    std::function<void(WalkSettings&)> adjust = [](WalkSettings&) {};
};

WalkSettings DefaultSettings() {
    WalkSettings settings;
    settings.scope.baseURL = "http://site/dir/";
    settings.scope.followExternal = true;
    settings.scope.excludedExtensions = {".zip"};
    return settings;
}

class PlanPageTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanPageTest, Plans) {
    const PlanCase& c = GetParam();
    WalkSettings settings = DefaultSettings();
    c.adjust(settings);
    const std::vector<PlannedFetch> plan = PlanPage(*c.document, kPage, 1, settings, {});

    std::vector<std::string> actual;
    for (const PlannedFetch& fetch : plan) {
        actual.push_back(Describe(fetch) + " @" + std::to_string(fetch.position >> 32) + "." +
                         std::to_string(fetch.position & 0xffffffff));
    }
    std::vector<std::string> expected;
    for (const Fetch& fetch : c.expected) {
        expected.push_back(std::string(fetch.text) + " @" + std::to_string(fetch.slot) + "." +
                           std::to_string(fetch.index));
    }
    EXPECT_THAT(actual, ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Elements, PlanPageTest,
    testing::Values(
        PlanCase{"EveryWalkerInParseDocOrder",
                 DocumentBuilder(kPage)
                     .Form("search.cgi")
                     .Frame("http://site/dir/f.html")
                     .Link("http://site/dir/a.html")
                     .StyleSheet("/css/s.css")
                     .Script("js/a.js")
                     .Applet("http://site/dir/x/y.html", std::string("arc.jar"))
                     .Image("http://site/img/i.png")
                     .Build(),
                 {{"HEAD http://site/img/i.png", kImagesSlot, 0},
                  {"HEAD http://site/dir/x/arc.jar", kAppletsSlot, 0},
                  {"HEAD http://site/dir/js/a.js", kScriptsSlot, 0},
                  {"HEAD http://site/css/s.css", kStyleSheetsSlot, 0},
                  {"PAGE+ http://site/dir/a.html", kLinksSlot, 0},
                  {"PAGE+ http://site/dir/f.html", kFramesSlot, 0},
                  {"HEAD http://site/dir/search.cgi", kFormsSlot, 0}}},
        PlanCase{"UntickedBoxesPlanNothing",
                 DocumentBuilder(kPage)
                     .Image("http://site/img/i.png")
                     .Script("a.js")
                     .StyleSheet("s.css")
                     .Link("http://site/dir/a.html")
                     .Frame("http://site/dir/f.html")
                     .Form("go")
                     .Applet("http://site/dir/", std::nullopt, "cb/", "C.class")
                     .Build(),
                 {{"HEAD http://site/dir/cb/C.class", kAppletsSlot, 0}},
                 [](WalkSettings& s) {
                     s.images = s.scriptsAndStyles = s.links = s.frames = s.forms = false;
                 }},
        PlanCase{"ScriptsAndStylesWithoutURLAreLeftOut",
                 DocumentBuilder(kPage)
                     .Script("")
                     .Script("b.js")
                     .StyleSheet("")
                     .StyleSheet("HTTP://cdn/x.css")
                     .Build(),
                 {{"HEAD http://site/dir/b.js", kScriptsSlot, 1},
                  {"HEAD HTTP://cdn/x.css", kStyleSheetsSlot, 1}}},
        PlanCase{"EmptyImageAndFormActionAreProbedAsTheWalkDoes",
                 DocumentBuilder(kPage).Image("").Form("").Build(),
                 {{"HEAD ", kImagesSlot, 0}, {"HEAD http://site/dir/", kFormsSlot, 0}}},
        PlanCase{"ScopeDecidesFollowCheckOrNothing",
                 DocumentBuilder(kPage)
                     .Link("http://site/dir/in.html")
                     .Link("http://other/out.html")
                     .Link("http://site/dir/get.zip")
                     .Link("mailto:someone@site")
                     .Link("http://site/dir/in.html?x=1")
                     .Build(),
                 {{"PAGE+ http://site/dir/in.html", kLinksSlot, 0},
                  {"HEAD http://other/out.html", kLinksSlot, 1},
                  {"HEAD http://site/dir/get.zip", kLinksSlot, 2},
                  {"RECORD mailto:someone@site", kLinksSlot, 3},
                  {"PAGE+ http://site/dir/in.html?x=1", kLinksSlot, 4}}},
        PlanCase{"ExternalLinksAreNotCheckedWithTheFlagOff",
                 DocumentBuilder(kPage)
                     .Link("http://other/out.html")
                     .Frame("http://other/frame.html")
                     .Build(),
                 {{"RECORD http://other/out.html", kLinksSlot, 0},
                  {"RECORD http://other/frame.html", kFramesSlot, 0}},
                 [](WalkSettings& s) { s.scope.followExternal = false; }},
        PlanCase{"FragmentLinksLoadOnlyOtherPages",
                 DocumentBuilder(kPage)
                     .Link("http://site/dir/page.html#top")
                     .Link("http://site/dir/page.html#")
                     .Link("http://site/dir/other.html#part")
                     .Link("http://other/ext.html#intro")
                     .Link("http://site/dir/other.html#more")
                     .Build(),
                 {{"RECORD http://site/dir/page.html#top", kLinksSlot, 0},
                  {"RECORD http://site/dir/page.html#", kLinksSlot, 1},
                  {"FRAGMENT http://site/dir/other.html#part -> http://site/dir/other.html",
                   kLinksSlot, 2},
                  {"FRAGMENT http://other/ext.html#intro -> http://other/ext.html", kLinksSlot, 3},
                  {"FRAGMENT http://site/dir/other.html#more -> http://site/dir/other.html",
                   kLinksSlot, 4}}},
        PlanCase{"FramesWithAFragmentLoadWithoutProbeOrAreRecordedAsTheyAre",
                 DocumentBuilder(kPage)
                     .Frame("http://site/dir/f.html#x")
                     .Frame("http://other/g.html#y")
                     .Frame("about:blank")
                     .Build(),
                 {{"LOAD+ http://site/dir/f.html#x -> http://site/dir/f.html", kFramesSlot, 0},
                  {"RECORD http://other/g.html#y", kFramesSlot, 1},
                  {"RECORD about:blank", kFramesSlot, 2}}},
        PlanCase{"PagesBeyondTheMaximumDepthAreLoadedButNotWalked",
                 DocumentBuilder(kPage)
                     .Link("http://site/dir/a.html")
                     .Frame("http://site/dir/f.html#x")
                     .Build(),
                 {{"PAGE http://site/dir/a.html", kLinksSlot, 0},
                  {"LOAD http://site/dir/f.html#x -> http://site/dir/f.html", kFramesSlot, 0}},
                 [](WalkSettings& s) { s.maximumDepth = 1; }},
        PlanCase{"NegativeMaximumDepthWalksNothing",
                 DocumentBuilder(kPage).Link("http://site/dir/a.html").Build(),
                 {{"PAGE http://site/dir/a.html", kLinksSlot, 0}},
                 [](WalkSettings& s) { s.maximumDepth = -1; }},
        PlanCase{"NotHtmlPlansNothing", platform::Document::NotHtml(kPage), {}}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(PlanPage, UrlsMetBeforeOnThePageOrInTheRunAreLeftOut) {
    const auto document = DocumentBuilder(kPage)
                              .Image("http://site/dir/a.html")
                              .Image("http://site/img/known.png")
                              .Image("http://site/img/i.png")
                              .Link("http://site/dir/a.html")
                              .Link("http://site/dir/b.html")
                              .Frame("http://site/dir/b.html")
                              .Form("http://site/img/i.png")
                              .Build();
    const std::vector<PlannedFetch> plan =
        PlanPage(*document, kPage, 1, DefaultSettings(),
                 [](const std::string& url) { return url == "http://site/img/known.png"; });
    std::vector<std::string> described;
    for (const PlannedFetch& fetch : plan) {
        described.push_back(Describe(fetch));
    }
    EXPECT_THAT(described,
                ElementsAreArray({"HEAD http://site/dir/a.html", "HEAD http://site/img/i.png",
                                  "PAGE+ http://site/dir/b.html"}));
}

TEST(PlanPage, ChildPagesWithinTheDepthAreWalked) {
    WalkSettings settings = DefaultSettings();
    settings.maximumDepth = 3;
    const auto document = DocumentBuilder(kPage).Link("http://site/dir/a.html").Build();
    EXPECT_TRUE(PlanPage(*document, kPage, 2, settings, {}).at(0).walked);
    EXPECT_FALSE(PlanPage(*document, kPage, 3, settings, {}).at(0).walked);
}

// --- the walk asks for what the plan says ---------------------------------------------------

// The requests a plan stands for, as the walk makes them (a page loaded for fragments once).
std::vector<std::string> RequestsOf(const std::vector<PlannedFetch>& plan) {
    std::vector<std::string> requests;
    std::set<std::string> loaded;
    for (const PlannedFetch& fetch : plan) {
        switch (fetch.kind) {
            case FetchKind::kProbe:
                requests.push_back("HEAD " + fetch.fetchURL);
                break;
            case FetchKind::kPage:
                requests.push_back("HEAD " + fetch.fetchURL);
                requests.push_back("GET " + fetch.url);
                break;
            case FetchKind::kUnprobedPage:
                requests.push_back("GET " + fetch.url);
                break;
            case FetchKind::kFragmentPage:
                if (loaded.insert(fetch.fetchURL).second) {
                    requests.push_back("LOAD " + fetch.fetchURL);
                }
                break;
            case FetchKind::kRecordOnly:
                break;
        }
    }
    return requests;
}

// The walk runs on fakes where every probe answers 200 OK and every page loads under its own
// address (pages other than the one planned are empty); its requests, in order, must be the
// plan's.
TEST_P(PlanPageTest, PredictsTheWalk) {
    const PlanCase& c = GetParam();
    WalkSettings settings = DefaultSettings();
    c.adjust(settings);

    crawl_test::CrawlRig rig;
    rig.inet->otherwise = crawl_test::ProbeAnswer{"HTTP/1.1 200 OK\r\n\r\n"};
    rig.inet->events = rig.pageLoader.events = &rig.events;
    rig.browser.anyPageLoads = rig.pageLoader.anyPageLoads = true;
    rig.Page(kPage, c.document);
    auto& boxes = rig.frontEnd.values;
    boxes[CheckControl::chkImages] = settings.images;
    boxes[CheckControl::chkApplets] = settings.applets;
    boxes[CheckControl::chkJSStyle] = settings.scriptsAndStyles;
    boxes[CheckControl::chkLinks] = settings.links;
    boxes[CheckControl::chkFrames] = settings.frames;
    boxes[CheckControl::chkForms] = settings.forms;
    boxes[CheckControl::chkExternal] = settings.scope.followExternal;
    rig.frontEnd.maximumDepth = settings.maximumDepth;
    SyntaxChecker::ResetAdvisories();
    for (const std::string& entry : settings.scope.excludedExtensions) {
        VisitControl::AddExcludedExtension(entry);
    }
    rig.Run(kPage, settings.scope.baseURL);

    // "probe url" -> "HEAD url", "navigate url" -> "GET url", "load url" -> "LOAD url".
    std::vector<std::string> requests;
    for (const std::string& event : rig.events) {
        for (const auto& [prefix, request] :
             {std::pair{"probe ", "HEAD "}, std::pair{"navigate ", "GET "},
              std::pair{"load ", "LOAD "}}) {
            const std::string p = prefix;
            if (event.rfind(p, 0) == 0 && event != "navigate about:blank") {
                requests.push_back(request + event.substr(p.size()));
            }
        }
    }
    const std::vector<PlannedFetch> plan = PlanPage(
        *c.document, kPage, 1, settings, [](const std::string& url) { return url == kPage; });
    std::vector<std::string> expected = {std::string("HEAD ") + kPage, std::string("GET ") + kPage};
    if (WithinMaximumDepth(1, settings.maximumDepth)) {
        const std::vector<std::string> planned = RequestsOf(plan);
        expected.insert(expected.end(), planned.begin(), planned.end());
    }
    EXPECT_THAT(requests, ElementsAreArray(expected));
}

}  // namespace
}  // namespace quill::lookahead
