// Crawls of small sites served by loopback servers or kept on disk, with the real transfer engine,
// browser and probe, each with the look-ahead off and on: the report line by line, the three lists
// and their counts. Changes and Stop during a run give the same run with the look-ahead as without,
// and the look-ahead asks the servers for nothing more often than the walk alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "crawl/crawl.h"
#include "crawl_fakes.h"
#include "live/live_services.h"
#include "lookahead/look_ahead.h"
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

    void WaitForTheLookAhead() {
        if (live.LookAheadOrNull() != nullptr) {
            live.LookAheadOrNull()->WaitUntilIdle();
        }
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

// Serves a site's files from the two servers and the disk.
class SiteFixture {
  public:
    ~SiteFixture() { std::filesystem::remove_all(disk); }
    void Serve(const std::vector<test_support::SiteFile>& files) {
        for (const test_support::SiteFile& file : files) {
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
    }
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
};

class CrawlSiteTest : public SiteFixture,
                      public testing::TestWithParam<std::tuple<test_support::SiteCase, bool>> {
  protected:
    LiveCrawl walk{{.enabled = std::get<1>(GetParam())}};
};

TEST_P(CrawlSiteTest, WritesTheReportAndFillsTheLists) {
    const test_support::SiteCase& c = std::get<0>(GetParam());
    Serve(c.files);
    walk.frontEnd.values[CheckControl::chkExternal] = c.external;
    for (const CheckControl box : c.unticked) {
        walk.frontEnd.values[box] = false;
    }
    walk.frontEnd.maximumDepth = c.maximumDepth;
    walk.Run(WithPorts(c.start));
    walk.WaitForTheLookAhead();
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

INSTANTIATE_TEST_SUITE_P(Sites, CrawlSiteTest,
                         testing::Combine(testing::ValuesIn(test_support::kSites), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "WithLookAhead" : "");
                         });

// A change the user makes during a run of the mixed site, when the walk adds an entry to a list.
using MidRunChange = std::function<void(LiveCrawl&, const std::string& entry)>;

class LookAheadRunTest : public SiteFixture, public testing::TestWithParam<MidRunChange> {
  protected:
    struct Outcome {
        std::vector<std::string> log;
        std::vector<std::string> report;
        std::map<std::string, int> requests;  // by "METHOD target", both servers
        LookAhead::Counts counts;
    };

    Outcome CrawlOnce(bool lookAhead) {
        const std::size_t before[] = {site.Requests().size(), partner.Requests().size()};
        LiveCrawl walk({.enabled = lookAhead});
        if (GetParam()) {
            walk.frontEnd.onAdd = [&](ListControl, const std::string& entry) {
                GetParam()(walk, WithoutPorts(entry));
            };
        }
        walk.Run(site.Url("/m/index.html"));
        walk.WaitForTheLookAhead();
        Outcome outcome{walk.frontEnd.log, MaskedReport(), {}, {}};
        for (int i = 0; i < 2; ++i) {
            const auto requests = (i == 0 ? site : partner).Requests();
            for (std::size_t r = before[i]; r < requests.size(); ++r) {
                ++outcome.requests[requests[r].method + " " + requests[r].target];
            }
        }
        if (walk.live.LookAheadOrNull() != nullptr) {
            outcome.counts = walk.live.LookAheadOrNull()->Statistics();
        }
        EXPECT_THAT(walk.frontEnd.failures, IsEmpty());
        EXPECT_THAT(OpenPages(), IsEmpty());
        return outcome;
    }
};

TEST_P(LookAheadRunTest, GivesTheSameRunAsTheWalkAloneAndAsksNothingMoreOften) {
    Serve(test_support::kMixedSite);
    const Outcome alone = CrawlOnce(false);
    const Outcome ahead = CrawlOnce(true);
    EXPECT_EQ(ahead.log, alone.log);
    EXPECT_EQ(ahead.report, alone.report);
    // The comparison says something only if the look-ahead served the walk.
    EXPECT_GT(ahead.counts.served + ahead.counts.joined, ahead.counts.walkRequests / 2);
    if (!GetParam()) {
        // Left alone, the look-ahead answers every request, the pages loaded again for their
        // fragments included.
        EXPECT_EQ(ahead.counts.own, 0);
    }
    // A change mid-run may leave one fetch ahead for a use the walk no longer makes.
    const int spare = GetParam() ? 1 : 0;
    for (const auto& [request, count] : ahead.requests) {
        const auto found = alone.requests.find(request);
        EXPECT_LE(count, found == alone.requests.end() ? 1 : found->second + spare) << request;
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, LookAheadRunTest,
                         testing::Values(
                             MidRunChange{},
                             [](LiveCrawl& walk, const std::string& entry) {
                                 if (entry == "{A}/m/logo.png") {
                                     walk.frontEnd.maximumDepth = 1;
                                 } else if (entry == "{A}/m/a.html") {
                                     walk.frontEnd.maximumDepth = 0;
                                     walk.frontEnd.values[CheckControl::chkImages] = false;
                                     VisitControl::AddExcludedExtension("nav.html");
                                     VisitControl::SetFollowExternal(false);
                                 }
                             },
                             [](LiveCrawl& walk, const std::string& entry) {
                                 if (entry == "{A}/m/nav.html") {
                                     walk.crawl.btnStartStop_Click();
                                 }
                             }));

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
