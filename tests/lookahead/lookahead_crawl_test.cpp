// Crawls of a loopback site through the real engine, browser and probe, once with the look-ahead
// and once without: every caption, list entry and count, and the report line by line (load times
// aside) must be the same, also when the user changes settings or stops during the run; and the
// look-ahead asks the servers for nothing twice that the walk alone asks for once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/crawl.h"
#include "crawl/crawl_fakes.h"
#include "live/live_services.h"
#include "scope/visit_control.h"
#include "support/loopback_http_server.h"

namespace quill {
namespace {

using crawl_test::FakeFrontEnd;
using test_support::HttpResponse;
using test_support::LoopbackHttpServer;
using testing::IsEmpty;

struct Outcome {
    std::vector<std::string> log;
    std::vector<std::string> report;
    std::map<std::string, int> requests;  // by "METHOD target", both servers
    LookAhead::Counts counts;
};

// A change the user makes during a run, when the walk adds an entry to a list.
using MidRunChange = std::function<void(FakeFrontEnd&, Crawl&, const std::string& entry,
                                        const LoopbackHttpServer& site)>;

struct CrawlCase {
    const char* name;
    const char* startPath;
    int maximumDepth = 0;
    MidRunChange change;
};

class LookAheadCrawl : public testing::TestWithParam<CrawlCase> {
  protected:
    LookAheadCrawl() {
        const std::string ext = partner.Origin();
        site.ServePage(
            "/m/index.html",
            "<title>Mixed</title><link rel=stylesheet href=css/s.css><script src=js/a.js>"
            "</script><a name=top></a><img src=img/logo.png alt=L width=2 height=2>"
            "<img src=img/missing.png><applet code=A.class codebase=java/></applet>"
            "<a href=a.html>A</a><a href=b.html>B</a><a href=frames.html>Frames</a>"
            "<a href=gone.html>Gone</a><a href=redir.html>R</a><a href=#top>Top</a>"
            "<a href=#nowhere>N</a><a href=a.html#sec>S</a><a href=b.html#none>None</a>"
            "<a href=nothere.html#x>X</a><a href=downloads/file.zip>Zip</a><a href=" +
                ext + "/ext.html>P</a><a href=" + ext + "/ext.html#intro>I</a><a href=" + ext +
                "/limited.html>L</a><a href=busy.html>Busy</a><a href=" + refused.Url("/r.html") +
                ">Refused</a><a href=mailto:someone@example.invalid>M</a>"
                "<a href=../outside.html>O</a><form action=search.cgi></form>");
        site.ServeFile("/m/css/s.css", "text/css", "body{}");
        site.ServeFile("/m/js/a.js", "text/javascript", "var a;");
        site.ServeFile("/m/img/logo.png", "image/png", "PNG");
        site.ServeFile("/m/java/A.class", "application/java", "CAFE");
        site.ServeFile("/m/search.cgi", "text/html", "");
        site.ServeFile("/m/downloads/file.zip", "application/zip", "PK");
        site.ServePage("/m/a.html",
                       "<h2 id=sec>S</h2><a href=index.html>H</a><a href=c.html>C</a>"
                       "<img src=img/logo.png alt=L><img src=img/busy.png alt=b>");
        site.ServePage("/m/b.html",
                       "<a href=a.html>A</a><a href=c.html#deep>D</a>"
                       "<a href=d.html>D</a>");
        site.ServePage("/m/c.html", "<a name=deep></a><a href=b.html>B</a><a href=d.html>D</a>");
        site.ServePage("/m/d.html", "<a href=e.html>E</a><img src=img/missing2.png alt=m>");
        site.ServePage("/m/e.html", "<a href=a.html>A</a><a href=f.html>F</a>");
        site.ServePage("/m/f.html", "<img src=img/logo.png alt=p>");
        site.ServePage("/m/frames.html",
                       "<frameset><frame src=nav.html><frame src=body.html>"
                       "<frame src=body.html#part><frame></frameset>");
        site.ServePage("/m/nav.html", "<a href=index.html>H</a><a href=frames.html>F</a>");
        site.ServePage("/m/body.html", "<p id=part>P</p><a href=deep/g.html>G</a>");
        site.ServePage("/m/deep/g.html", "<a href=../a.html>A</a>");
        site.ServeRedirect("/m/redir.html", site.Url("/m/a2.html"));
        site.ServePage("/m/a2.html", "<title>A2</title>");
        site.Serve("/m/busy.html", HttpResponse{"HTTP/1.1 503 Busy", {{"Retry-After", "0"}}, ""});
        site.Serve("/m/img/busy.png", HttpResponse{"HTTP/1.1 503 Busy", {}, ""});
        partner.ServePage("/ext.html", "<p id=intro>Hi</p><a href=/deeper.html>D</a>");
        partner.Serve("/limited.html",
                      HttpResponse{"HTTP/1.1 429 Too Many", {{"Retry-After", "1"}}, ""});
    }

    Outcome CrawlOnce(bool lookAhead) {
        const CrawlCase& test = GetParam();
        SyntaxChecker::ResetAdvisories();
        VisitControl::ClearExcludedExtensions();
        VisitControl::AddExcludedExtension(".zip");
        const std::size_t before[] = {site.Requests().size(), partner.Requests().size()};
        LiveComponents live(LookAheadSettings{.enabled = lookAhead});
        crawl_test::PollingSleeper sleeper;
        platform::NoEventPump pump;
        FakeFrontEnd frontEnd;
        Crawl crawl(frontEnd, live.Services(sleeper, pump));
        frontEnd.texts[TextControl::txtTmOut] = "32767";
        frontEnd.texts[TextControl::txtStartURL] = site.Url(test.startPath);
        frontEnd.texts[TextControl::txtBaseURL] = site.Url("/m/");
        frontEnd.maximumDepth = test.maximumDepth;
        if (test.change) {
            frontEnd.onAdd = [&](ListControl, const std::string& entry) {
                test.change(frontEnd, crawl, entry, site);
            };
        }
        crawl.btnStartStop_Click();
        if (live.LookAheadOrNull() != nullptr) {
            live.LookAheadOrNull()->WaitUntilIdle();
        }

        Outcome outcome{frontEnd.log, crawl_test::MaskedReport(), {}, {}};
        for (const auto* server : {&site, &partner}) {
            const auto requests = server->Requests();
            for (std::size_t i = before[server == &site ? 0 : 1]; i < requests.size(); ++i) {
                ++outcome.requests[requests[i].method + " " + requests[i].target];
            }
        }
        if (live.LookAheadOrNull() != nullptr) {
            outcome.counts = live.LookAheadOrNull()->Statistics();
        }
        EXPECT_THAT(frontEnd.failures, IsEmpty());
        EXPECT_THAT(crawl_test::OpenPages(), IsEmpty());
        return outcome;
    }

    LoopbackHttpServer site;
    LoopbackHttpServer partner;
    test_support::RefusingPort refused;
};

TEST_P(LookAheadCrawl, GivesTheSameRunAndReportAsTheWalkAlone) {
    const Outcome alone = CrawlOnce(false);
    const Outcome ahead = CrawlOnce(true);
    EXPECT_EQ(ahead.log, alone.log);
    EXPECT_EQ(ahead.report, alone.report);
    EXPECT_GT(alone.report.size(), 20u);
    // The comparison says something only if the look-ahead served the walk.
    EXPECT_GT(ahead.counts.served + ahead.counts.joined, ahead.counts.walkRequests / 2);
    for (const auto& [request, count] : ahead.requests) {
        const auto found = alone.requests.find(request);
        EXPECT_LE(count, found == alone.requests.end() ? 1 : found->second) << request;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sites, LookAheadCrawl,
    testing::Values(CrawlCase{"WholeSite", "/m/index.html", 0, nullptr},
                    CrawlCase{"DepthTwo", "/m/index.html", 2, nullptr},
                    CrawlCase{"StartWithFragment", "/m/index.html#top", 0, nullptr},
                    CrawlCase{"ChangesDuringTheRun", "/m/index.html", 0,
                              [](FakeFrontEnd& frontEnd, Crawl&, const std::string& entry,
                                 const LoopbackHttpServer& site) {
                                  if (entry == site.Url("/m/img/logo.png")) {
                                      frontEnd.maximumDepth = 3;
                                  } else if (entry == site.Url("/m/c.html")) {
                                      frontEnd.values[CheckControl::chkImages] = false;
                                      VisitControl::AddExcludedExtension("e.html");
                                  } else if (entry == site.Url("/m/b.html")) {
                                      frontEnd.maximumDepth = 0;
                                      VisitControl::SetFollowExternal(false);
                                      frontEnd.values[CheckControl::chkFrames] = false;
                                  }
                              }},
                    CrawlCase{"StopDuringTheRun", "/m/index.html", 0,
                              [](FakeFrontEnd&, Crawl& crawl, const std::string& entry,
                                 const LoopbackHttpServer& site) {
                                  if (entry == site.Url("/m/d.html")) {
                                      crawl.btnStartStop_Click();
                                  }
                              }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quill
