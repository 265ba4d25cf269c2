// Crawls of small sites served by loopback servers, with the real transfer engine, browser and
// probe: the three lists, the counts, the registry and the report file, line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/crawl.h"
#include "crawl/live_services.h"
#include "crawl_fakes.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"
#include "support/loopback_http_server.h"

namespace quill::crawl_test {
namespace {

using test_support::LoopbackHttpServer;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

class CrawlSiteTest : public testing::Test {
  protected:
    CrawlSiteTest() {
        SyntaxChecker::ResetAdvisories();
        VisitControl::ClearExcludedExtensions();
        for (const char* ext :
             {".zip", ".ram", ".tar", ".exe", ".c", ".cpp", ".h", ".cdf", ".pdf"}) {
            VisitControl::AddExcludedExtension(ext);
        }
        frontEnd.texts[TextControl::txtTmOut] = "32767";
    }

    void Run(const std::string& startURL, const std::string& baseURL) {
        frontEnd.texts[TextControl::txtStartURL] = startURL;
        frontEnd.texts[TextControl::txtBaseURL] = baseURL;
        crawl.btnStartStop_Click();
    }

    // The servers' origins written as {A} and {B}: ports differ from run to run.
    std::string WithoutPorts(std::string text) const {
        for (const auto& [origin, name] : {std::pair{site.Origin(), std::string("{A}")},
                                           std::pair{partner.Origin(), std::string("{B}")}}) {
            for (std::size_t at = text.find(origin); at != std::string::npos;
                 at = text.find(origin, at)) {
                text.replace(at, origin.size(), name);
            }
        }
        return text;
    }

    std::vector<std::string> WithoutPorts(std::vector<std::string> entries) const {
        for (std::string& entry : entries) {
            entry = WithoutPorts(entry);
        }
        return entries;
    }

    // The report with the load times masked and the origins too.
    std::vector<std::string> MaskedReport() const {
        return WithoutPorts(crawl_test::MaskedReport());
    }

    static std::vector<std::string> ExpectedLines(const std::string& fileName) {
        std::ifstream file(std::string(QUILL_CRAWL_EXPECTED_DIR) + "/" + fileName);
        EXPECT_TRUE(file) << fileName;
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(file, line)) {
            lines.push_back(line);
        }
        return lines;
    }

    LoopbackHttpServer site;
    LoopbackHttpServer partner;
    LiveComponents live;
    PollingSleeper sleeper;
    platform::NoEventPump pump;
    FakeFrontEnd frontEnd;
    Crawl crawl{frontEnd, live.Services(sleeper, pump)};
};

// --- a small site --------------------------------------------------------------------------

TEST_F(CrawlSiteTest, SmallSiteFillsTheListsCountsAndRegistry) {
    site.ServePage("/s/index.html",
                   "<html><head><title>Small</title></head><body>"
                   "<img src=\"logo.png\" alt=\"Logo\" width=\"2\" height=\"2\">"
                   "<a href=\"about.html\" alt=\"x\">About</a>"
                   "<a href=\"gone.html\" alt=\"x\">Gone</a>"
                   "<a href=\"/elsewhere.html\" alt=\"x\">Elsewhere</a>"
                   "</body></html>");
    site.ServePage("/s/about.html",
                   "<html><head><title>About</title></head><body>"
                   "<a href=\"index.html\" alt=\"x\">Home</a>"
                   "<img src=\"broken.png\" alt=\"b\" width=\"1\" height=\"1\">"
                   "</body></html>");
    site.ServeFile("/s/logo.png", "image/png", "PNG");
    frontEnd.values[CheckControl::chkExternal] = false;
    Run(site.Url("/s/index.html"), site.Url("/s/"));

    EXPECT_THAT(
        WithoutPorts(frontEnd.lists[ListControl::lstGoodLinks]),
        UnorderedElementsAreArray({"{A}/s/logo.png", "{A}/s/about.html", "{A}/s/index.html"}));
    EXPECT_THAT(WithoutPorts(frontEnd.lists[ListControl::lstBrokenLinks]),
                UnorderedElementsAreArray({"{A}/s/broken.png <- {A}/s/about.html",
                                           "{A}/s/gone.html <- {A}/s/index.html"}));
    EXPECT_THAT(WithoutPorts(frontEnd.lists[ListControl::lstSkippedLinks]),
                ElementsAre("{A}/elsewhere.html <- {A}/s/index.html"));
    EXPECT_EQ(crawl.State().successfulCount, 3);
    EXPECT_EQ(crawl.State().brokenCount, 2);
    EXPECT_EQ(crawl.State().skippedCount, 1);
    EXPECT_THAT(WithoutPorts(ValidKeys()),
                ElementsAre("{A}/s/logo.png", "{A}/s/about.html", "{A}/s/index.html"));
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_THAT(frontEnd.failures, IsEmpty());
    EXPECT_EQ(frontEnd.captions[CaptionControl::btnStartStop], "Start");
    EXPECT_EQ(live.Browser().LocationURL(), "about:blank");
}

TEST_F(CrawlSiteTest, RedirectedPageIsBrokenAndItsTargetUntouched) {
    site.ServePage("/r/index.html", "<a href=\"old.html\" alt=\"x\">Old</a>");
    site.ServeRedirect("/r/old.html", site.Url("/r/new.html"));
    site.ServePage("/r/new.html", "<p>new</p>");
    Run(site.Url("/r/index.html"), site.Url("/r/"));
    EXPECT_THAT(WithoutPorts(BrokenKeys()), ElementsAre("{A}/r/old.html"));
    EXPECT_EQ(site.RequestCount("/r/new.html"), 0);
}

TEST_F(CrawlSiteTest, SiteOnDiskIsCrawledFromAFileURL) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("quill-crawl-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "index.html") << "<title>Disk</title><a href=\"page.html\" alt=\"x\">p</a>"
                                         "<a href=\"none.html\" alt=\"x\">n</a>";
    std::ofstream(dir / "page.html") << "<img src=\"pic.png\" alt=\"p\" width=1 height=1>";
    std::ofstream(dir / "pic.png") << "PNG";
    const std::string base = "file://" + dir.string() + "/";
    Run(base + "index.html", base);
    std::filesystem::remove_all(dir);

    EXPECT_THAT(ValidKeys(),
                ElementsAre(base + "pic.png", base + "page.html", base + "index.html"));
    EXPECT_THAT(BrokenKeys(), ElementsAre(base + "none.html"));
    EXPECT_TRUE(live.Engine().FileAccess());

    // A run from the network switches the disk off again.
    site.ServePage("/n/index.html", "<a href=\"" + base + "index.html\">disk</a>");
    Run(site.Url("/n/index.html"), site.Url("/n/"));
    EXPECT_FALSE(live.Engine().FileAccess());
}

// A chain of pages on disk, each linking to the next, walked from a thread whose own stack holds
// a small part of the recursion: the walk's depth is bounded by memory, not by that stack.
TEST(CrawlDepthTest, ChainDeeperThanTheThreadsStackIsWalkedToItsEnd) {
    constexpr int kDepth = 5000;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("quill-chain-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(dir);
    for (int i = 1; i <= kDepth; ++i) {
        std::ofstream page(dir / ("p" + std::to_string(i) + ".html"));
        if (i < kDepth) {
            page << "<a href=\"p" << i + 1 << ".html\" alt=\"x\">next</a>";
        }
    }
    const std::string base = "file://" + dir.string() + "/";

    struct Walk {
        LookAheadSettings noLookAhead{.enabled = false};
        LiveComponents live{noLookAhead};
        PollingSleeper sleeper;
        platform::NoEventPump pump;
        FakeFrontEnd frontEnd;
        Crawl crawl{frontEnd, live.Services(sleeper, pump)};
    } walk;
    walk.frontEnd.texts[TextControl::txtTmOut] = "32767";
    walk.frontEnd.texts[TextControl::txtStartURL] = base + "p1.html";
    walk.frontEnd.texts[TextControl::txtBaseURL] = base;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{256} * 1024);
    pthread_t walker;
    auto run = [](void* walking) -> void* {
        static_cast<Walk*>(walking)->crawl.btnStartStop_Click();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&walker, &attributes, run, &walk), 0);
    pthread_join(walker, nullptr);
    pthread_attr_destroy(&attributes);
    std::filesystem::remove_all(dir);

    EXPECT_THAT(walk.frontEnd.failures, IsEmpty());
    const std::vector<std::string> valid = ValidKeys();
    ASSERT_EQ(valid.size(), std::size_t{kDepth});
    EXPECT_EQ(valid.front(), base + "p" + std::to_string(kDepth) + ".html");  // deepest first
    EXPECT_EQ(valid.back(), base + "p1.html");
    EXPECT_THAT(walk.frontEnd.Logged("lblDepth=" + std::to_string(kDepth)), testing::SizeIs(1));
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_EQ(walk.crawl.State().currentDepth, 0);
}

// --- the generated site --------------------------------------------------------------------

// A site of 54 pages under /site/: a home page, five sections of a section page and nine pages
// each, and a frameset of two frames; shared and broken images, a missing page, an excluded
// archive, fragments on the page itself and on other pages, external links to a partner server.
void ServeGeneratedSite(LoopbackHttpServer& site, LoopbackHttpServer& partner) {
    const std::string ext = partner.Origin();
    site.ServePage(
        "/site/index.html",
        "<html><head><title>Generated site</title>"
        "<link rel=\"stylesheet\" href=\"css/site.css\">"
        "<script src=\"js/app.js\"></script><script>var inline = 1;</script>"
        "</head><body><a name=\"top\"></a>"
        "<img src=\"img/logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
        "<img src=\"img/missing.png\">"
        "<a href=\"sec1/index.html\">Section 1</a><a href=\"sec2/index.html\">Section 2</a>"
        "<a href=\"sec3/index.html\">Section 3</a><a href=\"sec4/index.html\">Section 4</a>"
        "<a href=\"sec5/index.html\">Section 5</a>"
        "<a href=\"frames.html\" alt=\"x\">Frames</a>"
        "<a href=\"nothing.html\" alt=\"x\">Missing page</a>"
        "<a href=\"downloads/archive.zip\" alt=\"x\">Archive</a>"
        "<a href=\"" +
            ext +
            "/ext.html\" alt=\"x\">Partner</a>"
            "<a href=\"#top\" alt=\"x\">Top</a><a href=\"#\" alt=\"x\">Top again</a>"
            "<a href=\"sec1/p1.html#para\" alt=\"x\">Paragraph</a>"
            "<a href=\"mailto:webmaster@example.invalid\" alt=\"x\">Mail</a>"
            "<form action=\"search.cgi\"></form>"
            "</body></html>");
    site.ServeFile("/site/css/site.css", "text/css", "body{}");
    site.ServeFile("/site/js/app.js", "text/javascript", "var app;");
    site.ServeFile("/site/img/logo.png", "image/png", "PNG-logo");
    site.ServeFile("/site/search.cgi", "text/html", "");
    site.ServeFile("/site/downloads/archive.zip", "application/zip", "PK");

    for (int section = 1; section <= 5; ++section) {
        const std::string s = std::to_string(section);
        std::string links;
        for (int page = 1; page <= 9; ++page) {
            links += "<a href=\"p" + std::to_string(page) + ".html\" alt=\"x\">Page " +
                     std::to_string(page) + "</a>";
        }
        site.ServePage("/site/sec" + s + "/index.html",
                       "<html><head><title>Section " + s + "</title></head><body>" + links +
                           "<a href=\"../index.html\" alt=\"x\">Home</a>"
                           "<img src=\"../img/logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
                           "</body></html>");
        if (section != 3) {
            site.ServeFile("/site/img/pic-" + s + ".png", "image/png", "PNG-" + s);
        }
        for (int page = 1; page <= 9; ++page) {
            const std::string p = std::to_string(page);
            std::string body = "<h2 id=\"para\">Section " + s + " page " + p +
                               "</h2>"
                               "<img src=\"../img/pic-" +
                               s +
                               ".png\" alt=\"\">"
                               "<a href=\"index.html\" alt=\"x\">Section</a>";
            if (page < 9) {
                body += "<a href=\"p" + std::to_string(page + 1) + ".html\" alt=\"x\">Next</a>";
            }
            if (section == 2 && page == 5) {
                body +=
                    "<a href=\"p6.html#nowhere\" alt=\"x\">Nowhere</a>"
                    "<a href=\"p7.html#para\" alt=\"x\">Para</a>";
            }
            if (section == 3 && page == 9) {
                body += "<a href=\"../nothing.html\" alt=\"x\">Missing page</a>";
            }
            if (section == 4 && page == 2) {
                body +=
                    "<script src=\"/site/js/app.js\"></script>"
                    "<script src=\"js/local.js\"></script>";
            }
            if (section == 5 && page == 1) {
                body += "<a href=\"" + ext +
                        "/ext.html#intro\" alt=\"x\">Intro</a>"
                        "<a href=\"" +
                        ext +
                        "/gone.html\" alt=\"x\">Gone</a>"
                        "<a href=\"" +
                        ext + "/ext.html#none\" alt=\"x\">None</a>";
            }
            site.ServePage("/site/sec" + s + "/p" + p + ".html",
                           "<html><head><title>Section " + s + " page " + p +
                               "</title></head><body>" + body + "</body></html>");
        }
    }

    site.ServePage("/site/frames.html",
                   "<html><head><title>Frames</title></head>"
                   "<frameset cols=\"20%,80%\"><frame src=\"nav.html\"><frame src=\"body.html\">"
                   "</frameset></html>");
    site.ServePage("/site/nav.html",
                   "<html><head><title>Navigation</title></head><body>"
                   "<a href=\"sec1/index.html\" alt=\"x\">Section 1</a>"
                   "<a href=\"frames.html\" alt=\"x\">Frames</a></body></html>");
    site.ServePage("/site/body.html",
                   "<html><head><title>Body</title></head><body>"
                   "<img src=\"img/logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
                   "</body></html>");

    partner.ServePage(
        "/ext.html",
        "<html><head><title>Partner</title></head><body>"
        "<p id=\"intro\">Welcome</p><a href=\"/deeper.html\">Deeper</a></body></html>");
}

TEST_F(CrawlSiteTest, GeneratedSiteReportMatchesLineByLine) {
    ServeGeneratedSite(site, partner);
    const auto started = std::chrono::steady_clock::now();
    Run(site.Url("/site/index.html"), site.Url("/site/"));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    RecordProperty("crawl_seconds", std::to_string(seconds.count()));
    std::cout << "[ crawl of the generated site took " << seconds.count() << " s ]\n";

    EXPECT_THAT(frontEnd.failures, IsEmpty());
    const std::vector<std::string> expected = ExpectedLines("generated_site_report.txt");
    const std::vector<std::string> actual = MaskedReport();
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        EXPECT_EQ(i < actual.size() ? actual[i] : "<missing>",
                  i < expected.size() ? expected[i] : "<none>")
            << "report line " << i + 1;
    }
    EXPECT_EQ(crawl.State().successfulCount, LinkStatistics::ValidLinks().Count());
    EXPECT_EQ(crawl.State().brokenCount, LinkStatistics::BrokenLinks().Count());
    EXPECT_EQ(crawl.State().skippedCount, LinkStatistics::SkippedLinks().Count());
    EXPECT_EQ(partner.RequestCount("/deeper.html"), 0);  // external pages are never walked
    EXPECT_EQ(site.RequestCount("GET", "/site/downloads/archive.zip"), 0);
}

}  // namespace
}  // namespace quill::crawl_test
