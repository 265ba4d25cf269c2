// Crawls of small sites served by loopback servers or kept on disk, with the real transfer engine,
// browser and probe: the report line by line, the three lists and their counts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "crawl/crawl.h"
#include "crawl_fakes.h"
#include "live/live_services.h"
#include "registry/link_statistics.h"
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
        for (const std::string& ext : VisitControl::DefaultExcludedExtensions()) {
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

std::filesystem::path TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-crawl-XXXXXX");
    EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
    return pattern;
}

class CrawlSiteTest : public testing::TestWithParam<test_support::SiteCase> {
  protected:
    void TearDown() override { std::filesystem::remove_all(disk); }
    std::string WithPorts(const std::string& text) const {
        return Replaced(Replaced(Replaced(text, "{A}", site.Origin()), "{B}", partner.Origin()),
                        "{F}", "file://" + disk.string());
    }
    std::string WithoutPorts(const std::string& text) const {
        return Replaced(Replaced(Replaced(text, site.Origin(), "{A}"), partner.Origin(), "{B}"),
                        "file://" + disk.string(), "{F}");
    }

    LoopbackHttpServer site;
    LoopbackHttpServer partner;
    const std::filesystem::path disk = TemporaryDirectory();
    LiveCrawl walk;
};

TEST_P(CrawlSiteTest, WritesTheReportAndFillsTheLists) {
    const test_support::SiteCase& c = GetParam();
    for (const test_support::SiteFile& file : c.files) {
        const std::string path = file.url.substr(3);
        LoopbackHttpServer& server = file.url.rfind("{A}", 0) == 0 ? site : partner;
        if (file.url.rfind("{F}", 0) == 0) {
            std::ofstream(disk.string() + path) << WithPorts(file.body);
        } else if (file.type == "redirect") {
            server.ServeRedirect(path, WithPorts(file.body));
        } else if (file.type.empty()) {
            server.ServePage(path, WithPorts(file.body));
        } else {
            server.ServeFile(path, file.type, file.body);
        }
    }
    walk.frontEnd.values[CheckControl::chkExternal] = c.external;
    for (const CheckControl box : c.unticked) {
        walk.frontEnd.values[box] = false;
    }
    walk.frontEnd.maximumDepth = c.maximumDepth;
    walk.Run(WithPorts(c.start));
    std::vector<std::string> report = MaskedReport();
    EXPECT_EQ(report.at(0), R"("link status","time to load","link href","referer")");
    report.erase(report.begin());
    for (std::string& line : report) {
        line = WithoutPorts(line);
    }
    EXPECT_THAT(report, ElementsAreArray(c.report));

    // Each list shows its verdicts in the report's order: "url <- referrer", a good one its URL.
    using enum ListControl;
    std::map<ListControl, std::vector<std::string>> lists{
        {lstGoodLinks, {}}, {lstBrokenLinks, {}}, {lstSkippedLinks, {}}};
    const std::regex entry(R"re("(valid|broken|skipped)",[^,]*,"(.*)","(.*)")re");
    for (const std::string& line : report) {
        std::smatch part;
        if (std::regex_match(line, part, entry)) {
            const bool good = part[1] == "valid";
            lists[good                  ? lstGoodLinks
                  : part[1] == "broken" ? lstBrokenLinks
                                        : lstSkippedLinks]
                .push_back(WithPorts(part[2].str() + (good ? "" : " <- " + part[3].str())));
        }
    }
    EXPECT_EQ(walk.frontEnd.lists, lists);
    const CrawlState& state = walk.crawl.State();
    EXPECT_EQ(state.successfulCount, static_cast<int>(lists[lstGoodLinks].size()));
    EXPECT_EQ(state.brokenCount, static_cast<int>(lists[lstBrokenLinks].size()));
    EXPECT_EQ(state.skippedCount, static_cast<int>(lists[lstSkippedLinks].size()));
    EXPECT_EQ(walk.frontEnd.captions[CaptionControl::lblNumBrokenLinks],
              std::to_string(state.brokenCount));
    EXPECT_THAT(walk.frontEnd.failures, IsEmpty());
    EXPECT_THAT(OpenPages(), IsEmpty());
    EXPECT_EQ(walk.frontEnd.captions[CaptionControl::btnStartStop], "Start");
}

INSTANTIATE_TEST_SUITE_P(Sites, CrawlSiteTest, testing::ValuesIn(test_support::kSites),
                         [](const auto& info) { return info.param.name; });

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
    EXPECT_EQ(std::count(walk.frontEnd.log.begin(), walk.frontEnd.log.end(),
                         "lblDepth=" + std::to_string(kDepth)),
              1);
    EXPECT_EQ(walk.crawl.State().currentDepth, 0);
}

}  // namespace
}  // namespace quill::crawl_test
