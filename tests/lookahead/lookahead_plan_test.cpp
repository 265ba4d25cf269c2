// What the look-ahead plans to fetch for a page: which URLs, with which requests, in which order,
// worked out from hand-built documents. Each case is also walked by the crawl on recording fakes,
// and the walk must ask for exactly what the plan says, in the same order.
#include "crawl/lookahead_plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "advisories/advisory_store_testing.h"
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
    std::function<std::shared_ptr<const platform::Document>()> document;
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
    const std::vector<PlannedFetch> plan = PlanPage(*c.document(), kPage, 1, settings, {});

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
                 [] {
                     return DocumentBuilder(kPage)
                         .Form("search.cgi")
                         .Frame("http://site/dir/f.html")
                         .Link("http://site/dir/a.html")
                         .StyleSheet("/css/s.css")
                         .Script("js/a.js")
                         .Applet("http://site/dir/x/y.html", std::string("arc.jar"))
                         .Image("http://site/img/i.png")
                         .Build();
                 },
                 {{"HEAD http://site/img/i.png", kImagesSlot, 0},
                  {"HEAD http://site/dir/x/arc.jar", kAppletsSlot, 0},
                  {"HEAD http://site/dir/js/a.js", kScriptsSlot, 0},
                  {"HEAD http://site/css/s.css", kStyleSheetsSlot, 0},
                  {"PAGE+ http://site/dir/a.html", kLinksSlot, 0},
                  {"PAGE+ http://site/dir/f.html", kFramesSlot, 0},
                  {"HEAD http://site/dir/search.cgi", kFormsSlot, 0}}},
        PlanCase{"UntickedBoxesPlanNothing",
                 [] {
                     return DocumentBuilder(kPage)
                         .Image("http://site/img/i.png")
                         .Script("a.js")
                         .StyleSheet("s.css")
                         .Link("http://site/dir/a.html")
                         .Frame("http://site/dir/f.html")
                         .Form("go")
                         .Applet("http://site/dir/", std::nullopt, "cb/", "C.class")
                         .Build();
                 },
                 {{"HEAD http://site/dir/cb/C.class", kAppletsSlot, 0}},
                 [](WalkSettings& s) {
                     s.images = s.scriptsAndStyles = s.links = s.frames = s.forms = false;
                 }},
        PlanCase{"ScriptsAndStylesWithoutURLAreLeftOut",
                 [] {
                     return DocumentBuilder(kPage)
                         .Script("")
                         .Script("b.js")
                         .StyleSheet("")
                         .StyleSheet("HTTP://cdn/x.css")
                         .Build();
                 },
                 {{"HEAD http://site/dir/b.js", kScriptsSlot, 1},
                  {"HEAD HTTP://cdn/x.css", kStyleSheetsSlot, 1}}},
        PlanCase{"EmptyImageAndFormActionAreProbedAsTheWalkDoes",
                 [] { return DocumentBuilder(kPage).Image("").Form("").Build(); },
                 {{"HEAD ", kImagesSlot, 0}, {"HEAD http://site/dir/", kFormsSlot, 0}}},
        PlanCase{"ScopeDecidesFollowCheckOrNothing",
                 [] {
                     return DocumentBuilder(kPage)
                         .Link("http://site/dir/in.html")
                         .Link("http://other/out.html")
                         .Link("http://site/dir/get.zip")
                         .Link("mailto:someone@site")
                         .Link("http://site/dir/in.html?x=1")
                         .Build();
                 },
                 {{"PAGE+ http://site/dir/in.html", kLinksSlot, 0},
                  {"HEAD http://other/out.html", kLinksSlot, 1},
                  {"HEAD http://site/dir/get.zip", kLinksSlot, 2},
                  {"RECORD mailto:someone@site", kLinksSlot, 3},
                  {"PAGE+ http://site/dir/in.html?x=1", kLinksSlot, 4}}},
        PlanCase{"ExternalLinksAreNotCheckedWithTheFlagOff",
                 [] {
                     return DocumentBuilder(kPage)
                         .Link("http://other/out.html")
                         .Frame("http://other/frame.html")
                         .Build();
                 },
                 {{"RECORD http://other/out.html", kLinksSlot, 0},
                  {"RECORD http://other/frame.html", kFramesSlot, 0}},
                 [](WalkSettings& s) { s.scope.followExternal = false; }},
        PlanCase{"FragmentLinksLoadOnlyOtherPages",
                 [] {
                     return DocumentBuilder(kPage)
                         .Link("http://site/dir/page.html#top")
                         .Link("http://site/dir/page.html#")
                         .Link("http://site/dir/other.html#part")
                         .Link("http://other/ext.html#intro")
                         .Link("http://site/dir/other.html#more")
                         .Build();
                 },
                 {{"RECORD http://site/dir/page.html#top", kLinksSlot, 0},
                  {"RECORD http://site/dir/page.html#", kLinksSlot, 1},
                  {"FRAGMENT http://site/dir/other.html#part -> http://site/dir/other.html",
                   kLinksSlot, 2},
                  {"FRAGMENT http://other/ext.html#intro -> http://other/ext.html", kLinksSlot, 3},
                  {"FRAGMENT http://site/dir/other.html#more -> http://site/dir/other.html",
                   kLinksSlot, 4}}},
        PlanCase{"FramesWithAFragmentLoadWithoutProbeOrAreRecordedAsTheyAre",
                 [] {
                     return DocumentBuilder(kPage)
                         .Frame("http://site/dir/f.html#x")
                         .Frame("http://other/g.html#y")
                         .Frame("about:blank")
                         .Build();
                 },
                 {{"LOAD+ http://site/dir/f.html#x -> http://site/dir/f.html", kFramesSlot, 0},
                  {"RECORD http://other/g.html#y", kFramesSlot, 1},
                  {"RECORD about:blank", kFramesSlot, 2}}},
        PlanCase{"PagesBeyondTheMaximumDepthAreLoadedButNotWalked",
                 [] {
                     return DocumentBuilder(kPage)
                         .Link("http://site/dir/a.html")
                         .Frame("http://site/dir/f.html#x")
                         .Build();
                 },
                 {{"PAGE http://site/dir/a.html", kLinksSlot, 0},
                  {"LOAD http://site/dir/f.html#x -> http://site/dir/f.html", kFramesSlot, 0}},
                 [](WalkSettings& s) { s.maximumDepth = 1; }},
        PlanCase{"NegativeMaximumDepthWalksNothing",
                 [] { return DocumentBuilder(kPage).Link("http://site/dir/a.html").Build(); },
                 {{"PAGE http://site/dir/a.html", kLinksSlot, 0}},
                 [](WalkSettings& s) { s.maximumDepth = -1; }},
        PlanCase{"NotHtmlPlansNothing", [] { return platform::Document::NotHtml(kPage); }, {}}),
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

// Fakes that write every request the walk makes into one list: "HEAD url" for a probe, "GET url"
// for a page shown in the browser, "LOAD url" for a page loaded to look for a fragment. Every probe
// answers 200 OK, every page loads under its own address; pages other than the start page are
// empty.
struct RequestLog {
    std::vector<std::string> requests;
    std::map<std::string, std::shared_ptr<const platform::Document>> documents;

    std::shared_ptr<const platform::Document> DocumentAt(const std::string& url) const {
        const auto found = documents.find(url);
        return found != documents.end() ? found->second : DocumentBuilder(url).Build();
    }
};

class LoggingControl final : public platform::TransferControl {
  public:
    explicit LoggingControl(RequestLog& log) : log_(log) {}
    void Execute(const std::string& url, const std::string& operation) override {
        log_.requests.push_back(operation + " " + url);
    }
    bool StillExecuting() override { return false; }
    std::string GetHeader() override { return "HTTP/1.1 200 OK\r\n\r\n"; }

  private:
    RequestLog& log_;
};

class LoggingBrowser final : public platform::Browser, public platform::PageLoader {
  public:
    explicit LoggingBrowser(RequestLog& log) : log_(log) {}
    void SetSilent(bool) override {}
    void SetOffline(bool) override {}
    void Navigate(const std::string& url) override {
        if (url != "about:blank") {
            log_.requests.push_back("GET " + url);
        }
        location_ = url;
    }
    int ReadyState() override { return kReadyStateComplete; }
    std::string LocationURL() override { return location_; }
    std::shared_ptr<const platform::Document> GetDocument() override {
        return log_.DocumentAt(location_);
    }

    class LoggedLoad final : public platform::PageLoad {
      public:
        LoggedLoad(std::string url, std::shared_ptr<const platform::Document> document)
            : url_(std::move(url)), document_(std::move(document)) {}
        bool Complete() override { return true; }
        std::string LocationURL() override { return url_; }
        std::shared_ptr<const platform::Document> GetDocument() override { return document_; }
        int DurationSeconds() override { return 0; }

      private:
        std::string url_;
        std::shared_ptr<const platform::Document> document_;
    };

    std::shared_ptr<platform::PageLoad> Load(const std::string& url) override {
        log_.requests.push_back("LOAD " + url);
        return std::make_shared<LoggedLoad>(url, log_.DocumentAt(url));
    }

  private:
    RequestLog& log_;
    std::string location_ = "about:blank";
};

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

TEST_P(PlanPageTest, PredictsTheWalk) {
    const PlanCase& c = GetParam();
    WalkSettings settings = DefaultSettings();
    c.adjust(settings);

    RequestLog log;
    log.documents[kPage] = c.document();
    LoggingBrowser browser(log);
    crawl_test::FakeFrontEnd frontEnd;
    crawl_test::FakeClock clock;
    crawl_test::EventLog events;
    crawl_test::FakeSleeper sleeper(clock, events);
    platform::NoEventPump pump;
    Crawl crawl(frontEnd, CrawlServices{browser, std::make_shared<LoggingControl>(log), browser,
                                        clock, sleeper, pump});
    frontEnd.values[CheckControl::chkImages] = settings.images;
    frontEnd.values[CheckControl::chkApplets] = settings.applets;
    frontEnd.values[CheckControl::chkJSStyle] = settings.scriptsAndStyles;
    frontEnd.values[CheckControl::chkLinks] = settings.links;
    frontEnd.values[CheckControl::chkFrames] = settings.frames;
    frontEnd.values[CheckControl::chkForms] = settings.forms;
    frontEnd.values[CheckControl::chkExternal] = settings.scope.followExternal;
    frontEnd.maximumDepth = settings.maximumDepth;
    frontEnd.texts[TextControl::txtTmOut] = "60";
    frontEnd.texts[TextControl::txtStartURL] = kPage;
    frontEnd.texts[TextControl::txtBaseURL] = settings.scope.baseURL;
    SyntaxChecker::ClearAdvisoriesForTesting();
    VisitControl::ClearExcludedExtensions();
    for (const std::string& entry : settings.scope.excludedExtensions) {
        VisitControl::AddExcludedExtension(entry);
    }
    crawl.btnStartStop_Click();

    const std::vector<PlannedFetch> plan = PlanPage(
        *c.document(), kPage, 1, settings, [](const std::string& url) { return url == kPage; });
    std::vector<std::string> expected = {std::string("HEAD ") + kPage, std::string("GET ") + kPage};
    if (WithinMaximumDepth(1, settings.maximumDepth)) {
        const std::vector<std::string> planned = RequestsOf(plan);
        expected.insert(expected.end(), planned.begin(), planned.end());
    }
    EXPECT_THAT(log.requests, ElementsAreArray(expected));
}

}  // namespace
}  // namespace quill::lookahead
