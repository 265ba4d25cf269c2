// Crawls of small sites served by loopback servers or kept on disk, with the real transfer engine,
// browser and probe: the report line by line, the three lists and their counts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "crawl/crawl.h"
#include "crawl/live_services.h"
#include "crawl_fakes.h"
#include "scope/visit_control.h"
#include "support/loopback_http_server.h"
#include "support/site_table.h"

namespace quill::crawl_test {
namespace {

using test_support::LoopbackHttpServer;
using testing::ElementsAreArray;
using testing::IsEmpty;

// A crawl over the live services, from a thread of its own when the stack is given.
struct LiveCrawl {
    explicit LiveCrawl(LookAheadSettings lookAhead = {.enabled = false}) : live(lookAhead) {
        VisitControl::ClearExcludedExtensions();
        for (const char* ext :
             {".zip", ".ram", ".tar", ".exe", ".c", ".cpp", ".h", ".cdf", ".pdf"}) {
            VisitControl::AddExcludedExtension(ext);
        }
        frontEnd.texts[TextControl::txtTmOut] = "32767";
    }
    void Run(const std::string& startURL, std::size_t stackBytes = 0) {
        frontEnd.texts[TextControl::txtStartURL] = startURL;
        frontEnd.texts[TextControl::txtBaseURL] = startURL.substr(0, startURL.rfind('/') + 1);
        if (stackBytes == 0) {
            return crawl.btnStartStop_Click();
        }
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, stackBytes);
        pthread_t walker;
        auto run = [](void* crawl) -> void* {
            static_cast<Crawl*>(crawl)->btnStartStop_Click();
            return nullptr;
        };
        ASSERT_EQ(pthread_create(&walker, &attributes, run, &crawl), 0);
        pthread_join(walker, nullptr);
        pthread_attr_destroy(&attributes);
    }

    LiveComponents live;
    PollingSleeper sleeper;
    platform::NoEventPump pump;
    FakeFrontEnd frontEnd;
    Crawl crawl{frontEnd, live.Services(sleeper, pump)};
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

class CrawlSiteTest : public testing::TestWithParam<test_support::SiteCase> {
  protected:
    std::string WithPorts(const std::string& text) const {
        return Replaced(Replaced(text, "{A}", site.Origin()), "{B}", partner.Origin());
    }
    std::string WithoutPorts(const std::string& text) const {
        return Replaced(Replaced(text, site.Origin(), "{A}"), partner.Origin(), "{B}");
    }

    LoopbackHttpServer site;
    LoopbackHttpServer partner;
    LiveCrawl walk;
};

TEST_P(CrawlSiteTest, WritesTheReportAndFillsTheLists) {
    const test_support::SiteCase& c = GetParam();
    for (const test_support::SiteFile& file : c.files) {
        LoopbackHttpServer& server = file.url.rfind("{A}", 0) == 0 ? site : partner;
        const std::string path = file.url.substr(3);
        if (file.type == "redirect") {
            server.ServeRedirect(path, WithPorts(file.body));
        } else if (file.type.empty()) {
            server.ServePage(path, WithPorts(file.body));
        } else {
            server.ServeFile(path, file.type, file.body);
        }
    }
    walk.frontEnd.values[CheckControl::chkExternal] = c.external;
    walk.frontEnd.maximumDepth = c.maximumDepth;
    walk.Run(WithPorts(c.start));

    std::vector<std::string> report = MaskedReport();
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.front(), "\"link status\",\"time to load\",\"link href\",\"referer\"");
    report.erase(report.begin());
    for (std::string& line : report) {
        line = WithoutPorts(line);
    }
    EXPECT_THAT(report, ElementsAreArray(c.report));

    // Each list holds its verdicts in the report's order, "url <- referrer" but for good ones.
    std::map<std::string, std::vector<std::string>> lists;
    const std::regex line(R"re("(\w+)",[^,]*,"(.*)","(.*)")re");
    for (const std::string& entry : report) {
        std::smatch parts;
        if (!std::regex_match(entry, parts, line) || parts[1] == "warning") {
            continue;
        }
        lists[parts[1]].push_back(parts[1] == "valid"
                                      ? WithPorts(parts[2])
                                      : WithPorts(parts[2].str() + " <- " + parts[3].str()));
    }
    auto& shown = walk.frontEnd.lists;
    EXPECT_THAT(shown[ListControl::lstGoodLinks], ElementsAreArray(lists["valid"]));
    EXPECT_THAT(shown[ListControl::lstBrokenLinks], ElementsAreArray(lists["broken"]));
    EXPECT_THAT(shown[ListControl::lstSkippedLinks], ElementsAreArray(lists["skipped"]));
    const CrawlState& state = walk.crawl.State();
    EXPECT_EQ(walk.frontEnd.captions[CaptionControl::lblNumSuccessfulLinks],
              std::to_string(state.successfulCount));
    EXPECT_EQ(state.successfulCount, static_cast<int>(lists["valid"].size()));
    EXPECT_EQ(state.brokenCount, static_cast<int>(lists["broken"].size()));
    EXPECT_EQ(state.skippedCount, static_cast<int>(lists["skipped"].size()));
    EXPECT_THAT(walk.frontEnd.failures, IsEmpty());
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_EQ(walk.frontEnd.captions[CaptionControl::btnStartStop], "Start");
}

INSTANTIATE_TEST_SUITE_P(Sites, CrawlSiteTest, testing::ValuesIn(test_support::kSites),
                         [](const auto& info) { return info.param.name; });

std::filesystem::path TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-crawl-XXXXXX");
    EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
    return pattern;
}

// The disk is read only in a run from a file: URL.
TEST(CrawlDiskTest, SiteOnDiskIsCrawledFromAFileURL) {
    const std::filesystem::path dir = TemporaryDirectory();
    std::ofstream(dir / "index.html") << "<a href=\"page.html\">p</a><a href=\"none.html\">n</a>";
    std::ofstream(dir / "page.html") << "<img src=\"pic.png\" alt=\"p\" width=1 height=1>";
    std::ofstream(dir / "pic.png") << "PNG";
    const std::string base = "file://" + dir.string() + "/";
    LiveCrawl walk;
    walk.Run(base + "index.html");
    EXPECT_THAT(ValidKeys(),
                ElementsAreArray({base + "pic.png", base + "page.html", base + "index.html"}));
    EXPECT_THAT(BrokenKeys(), ElementsAreArray({base + "none.html"}));
    EXPECT_TRUE(walk.live.Engine().FileAccess());

    LoopbackHttpServer site;
    site.ServePage("/n/index.html", "<a href=\"" + base + "index.html\">disk</a>");
    walk.Run(site.Url("/n/index.html"));
    EXPECT_FALSE(walk.live.Engine().FileAccess());
    EXPECT_THAT(BrokenKeys(), ElementsAreArray({base + "index.html"}));
    std::filesystem::remove_all(dir);
}

// A chain of pages on disk, each linking to the next, walked from a thread whose own stack holds
// a small part of the recursion: the walk's depth is bounded by memory, not by that stack.
TEST(CrawlDepthTest, ChainDeeperThanTheThreadsStackIsWalkedToItsEnd) {
    constexpr int kDepth = 5000;
    const std::filesystem::path dir = TemporaryDirectory();
    for (int i = 1; i < kDepth; ++i) {
        std::ofstream(dir / ("p" + std::to_string(i) + ".html"))
            << "<a href=\"p" << i + 1 << ".html\" alt=\"x\">next</a>";
    }
    std::ofstream(dir / ("p" + std::to_string(kDepth) + ".html"));
    const std::string base = "file://" + dir.string() + "/";
    LiveCrawl walk;
    walk.Run(base + "p1.html", std::size_t{256} * 1024);
    std::filesystem::remove_all(dir);

    EXPECT_THAT(walk.frontEnd.failures, IsEmpty());
    const std::vector<std::string> valid = ValidKeys();
    ASSERT_EQ(valid.size(), std::size_t{kDepth});
    EXPECT_EQ(valid.front(), base + "p" + std::to_string(kDepth) + ".html");  // deepest first
    EXPECT_THAT(walk.frontEnd.Logged("lblDepth=" + std::to_string(kDepth)), testing::SizeIs(1));
    EXPECT_EQ(walk.crawl.State().currentDepth, 0);
}

}  // namespace
}  // namespace quill::crawl_test
