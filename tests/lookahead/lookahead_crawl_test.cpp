// Crawls of loopback sites through the real engine, browser and probe, once with the look-ahead and
// once without: every caption, list entry and count, and the report line by line (load times
// aside), must be the same, also when the user changes settings or stops in the middle of a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
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

namespace quill {
namespace {

using crawl_test::FakeFrontEnd;
using test_support::HttpResponse;
using test_support::LoopbackHttpServer;
using testing::IsEmpty;

// What a run showed and left: every front-end call in order, the lists and counts, the report.
struct Outcome {
    std::vector<std::string> log;
    std::map<ListControl, std::vector<std::string>> lists;
    int successful = 0;
    int broken = 0;
    int skipped = 0;
    std::vector<std::string> report;
    LookAhead::Counts counts;
};

// A change the user makes during a run, at a moment fixed by the walk itself: when an entry is
// added to a list.
using MidRunChange =
    std::function<void(FakeFrontEnd& frontEnd, Crawl& crawl, const std::string& entry)>;

class LookAheadCrawlTest : public testing::Test {
  protected:
    LookAheadCrawlTest() { ServeMixedSite(); }

    Outcome CrawlOnce(bool lookAhead, const std::string& startURL, const std::string& baseURL,
                      int maximumDepth, const MidRunChange& change) {
        SyntaxChecker::ResetAdvisories();
        VisitControl::ClearExcludedExtensions();
        for (const char* ext : {".zip", ".exe", ".pdf"}) {
            VisitControl::AddExcludedExtension(ext);
        }
        LookAheadSettings settings;
        settings.enabled = lookAhead;
        LiveComponents live(settings);
        crawl_test::PollingSleeper sleeper;
        platform::NoEventPump pump;
        FakeFrontEnd frontEnd;
        Crawl crawl(frontEnd, live.Services(sleeper, pump));
        frontEnd.texts[TextControl::txtTmOut] = "32767";
        frontEnd.texts[TextControl::txtStartURL] = startURL;
        frontEnd.texts[TextControl::txtBaseURL] = baseURL;
        frontEnd.maximumDepth = maximumDepth;
        if (change) {
            frontEnd.onAdd = [&](ListControl, const std::string& entry) {
                change(frontEnd, crawl, entry);
            };
        }
        crawl.btnStartStop_Click();

        Outcome outcome;
        outcome.log = frontEnd.log;
        outcome.lists = frontEnd.lists;
        outcome.successful = crawl.State().successfulCount;
        outcome.broken = crawl.State().brokenCount;
        outcome.skipped = crawl.State().skippedCount;
        outcome.report = crawl_test::MaskedReport();
        if (live.LookAheadOrNull() != nullptr) {
            outcome.counts = live.LookAheadOrNull()->Statistics();
        }
        EXPECT_THAT(frontEnd.failures, IsEmpty());
        EXPECT_THAT(crawl_test::OpenPages(), IsEmpty());
        return outcome;
    }

    // Crawls with and without the look-ahead and compares everything the user can see.
    void ExpectSameCrawl(const std::string& startPath, int maximumDepth = 0,
                         const MidRunChange& change = nullptr) {
        const std::string start = site.Url(startPath);
        const std::string base = site.Url("/m/");
        const Outcome alone = CrawlOnce(false, start, base, maximumDepth, change);
        const Outcome ahead = CrawlOnce(true, start, base, maximumDepth, change);

        EXPECT_EQ(ahead.log, alone.log);
        EXPECT_EQ(ahead.lists, alone.lists);
        EXPECT_EQ(ahead.successful, alone.successful);
        EXPECT_EQ(ahead.broken, alone.broken);
        EXPECT_EQ(ahead.skipped, alone.skipped);
        ASSERT_EQ(ahead.report.size(), alone.report.size());
        for (std::size_t i = 0; i < alone.report.size(); ++i) {
            EXPECT_EQ(ahead.report[i], alone.report[i]) << "report line " << i + 1;
        }
        // The comparison says something only if the look-ahead served the walk.
        EXPECT_GT(ahead.counts.served + ahead.counts.joined, ahead.counts.walkRequests / 2);
        EXPECT_GT(alone.successful + alone.broken + alone.skipped, 10);
    }

    // A site under /m/ with frames, fragments on the page and on others, cycles, a redirect,
    // excluded and external files, a rate-limited and an unavailable URL, and pages six deep.
    void ServeMixedSite() {
        const std::string ext = partner.Origin();
        site.ServePage(
            "/m/index.html",
            "<html><head><title>Mixed</title><link rel=stylesheet href=css/s.css>"
            "<script src=js/a.js></script><script>var inline;</script></head><body>"
            "<a name=top></a><img src=img/logo.png alt=Logo width=2 height=2>"
            "<img src=img/missing.png>"
            "<applet code=Applet.class codebase=java/></applet>"
            "<a href=a.html>A</a><a href=b.html alt=x>B</a><a href=frames.html>Frames</a>"
            "<a href=gone.html>Gone</a><a href=redir.html>Redirect</a><a href=#top>Top</a>"
            "<a href=#nowhere>Nowhere</a><a href=a.html#sec>Section</a>"
            "<a href=b.html#none>None</a><a href=nothere.html#x>Missing page</a>"
            "<a href=downloads/file.zip>Zip</a><a href=" +
                ext + "/ext.html>Partner</a><a href=" + ext +
                "/ext.html#intro>Intro</a><a href=" + ext +
                "/limited.html>Limited</a>"
                "<a href=busy.html>Busy</a><a href=mailto:someone@example.invalid>Mail</a>"
                "<a href=../outside.html>Outside</a>"
                "<form action=search.cgi></form></body></html>");
        site.ServeFile("/m/css/s.css", "text/css", "body{}");
        site.ServeFile("/m/js/a.js", "text/javascript", "var a;");
        site.ServeFile("/m/img/logo.png", "image/png", "PNG-logo");
        site.ServeFile("/m/img/pic.png", "image/png", "PNG-pic");
        site.ServeFile("/m/java/Applet.class", "application/java", "CAFE");
        site.ServeFile("/m/search.cgi", "text/html", "");
        site.ServeFile("/m/downloads/file.zip", "application/zip", "PK");
        site.ServeFile("/outside.html", "text/html", "<p>outside");
        site.ServePage("/m/a.html",
                       "<title>A</title><h2 id=sec>Section</h2><a href=index.html>Home</a>"
                       "<a href=b.html>B</a><a href=c.html>C</a><img src=img/logo.png alt=L>"
                       "<img src=img/busy.png alt=busy>");
        site.ServePage("/m/b.html",
                       "<title>B</title><a href=a.html>A</a><a href=c.html#deep>Deep</a>"
                       "<a href=d.html>D</a><img src=img/pic.png>");
        site.ServePage("/m/c.html",
                       "<title>C</title><a name=deep></a><a href=b.html>B</a><a href=d.html>D</a>");
        site.ServePage("/m/d.html",
                       "<title>D</title><a href=e.html>E</a><img src=img/missing2.png alt=m>");
        site.ServePage("/m/e.html", "<title>E</title><a href=a.html>A</a><a href=f.html>F</a>");
        site.ServePage("/m/f.html", "<title>F</title><img src=img/pic.png alt=p>");
        site.ServePage("/m/frames.html",
                       "<title>Frames</title><frameset cols=\"20%,80%\"><frame src=nav.html>"
                       "<frame src=body.html><frame src=body.html#part><frame>"
                       "</frameset>");
        site.ServePage("/m/nav.html",
                       "<title>Nav</title><a href=index.html>Home</a><a href=frames.html>F</a>");
        site.ServePage("/m/body.html",
                       "<title>Body</title><p id=part>Part</p><img src=img/logo.png alt=L>"
                       "<a href=deep/g.html>G</a>");
        site.ServePage("/m/deep/g.html", "<title>G</title><a href=../a.html>A</a>");
        site.ServeRedirect("/m/redir.html", site.Url("/m/a2.html"));
        site.ServePage("/m/a2.html", "<title>A2</title>");
        site.Serve(
            "/m/busy.html",
            HttpResponse{"HTTP/1.1 503 Service Unavailable", {{"Retry-After", "0"}}, "busy"});
        site.Serve("/m/img/busy.png", HttpResponse{"HTTP/1.1 503 Service Unavailable", {}, ""});
        partner.ServePage("/ext.html",
                          "<title>Partner</title><p id=intro>Hi</p><a href=/deeper.html>D</a>");
        partner.Serve(
            "/limited.html",
            HttpResponse{"HTTP/1.1 429 Too Many Requests", {{"Retry-After", "1"}}, "slow down"});
    }

    LoopbackHttpServer site;
    LoopbackHttpServer partner;
};

TEST_F(LookAheadCrawlTest, WholeSiteGivesTheSameReport) {
    ExpectSameCrawl("/m/index.html");
    EXPECT_EQ(site.RequestCount("/m/a2.html"), 0);  // a redirect's target is never fetched
    EXPECT_EQ(partner.RequestCount("/deeper.html"), 0);
    EXPECT_EQ(site.RequestCount("GET", "/m/downloads/file.zip"), 0);
}

TEST_F(LookAheadCrawlTest, DepthLimitGivesTheSameReport) {
    ExpectSameCrawl("/m/index.html", 2);
    EXPECT_EQ(site.RequestCount("/m/f.html"), 0);
}

TEST_F(LookAheadCrawlTest, StartPageWithAFragmentGivesTheSameReport) {
    ExpectSameCrawl("/m/index.html#top");
}

TEST_F(LookAheadCrawlTest, ChangesDuringTheRunApplyAsWithoutLookAhead) {
    ExpectSameCrawl("/m/index.html", 0,
                    [this](FakeFrontEnd& frontEnd, Crawl&, const std::string& entry) {
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
                    });
}

TEST_F(LookAheadCrawlTest, StopDuringTheRunGivesTheSameReport) {
    ExpectSameCrawl("/m/index.html", 0,
                    [this](FakeFrontEnd&, Crawl& crawl, const std::string& entry) {
                        if (entry == site.Url("/m/d.html")) {
                            crawl.btnStartStop_Click();
                        }
                    });
}

// --- the walk does not wait for what has arrived --------------------------------------------

// Each wait of the walk lasts until the look-ahead has fetched everything it can.
class SettlingSleeper final : public platform::Sleeper {
  public:
    explicit SettlingSleeper(LookAhead& lookAhead) : lookAhead_(lookAhead) {}
    void Sleep(int) override {
        ++sleeps;
        lookAhead_.WaitUntilIdle();
    }
    int sleeps = 0;

  private:
    LookAhead& lookAhead_;
};

TEST(LookAheadServing, OnceEverythingHasArrivedTheWalkNeverWaits) {
    LoopbackHttpServer site;
    std::string index = "<title>Home</title><img src=logo.png alt=L width=1 height=1>";
    for (int i = 0; i < 20; ++i) {
        const std::string page = "p" + std::to_string(i) + ".html";
        index += "<a href=" + page + ">" + page + "</a>";
        site.ServePage("/s/" + page, "<img src=logo.png alt=L width=1 height=1><a href=p" +
                                         std::to_string((i + 7) % 20) +
                                         ".html>next</a><a href=index.html#top>top</a>"
                                         "<script src=s" +
                                         std::to_string(i % 3) + ".js></script>");
        site.ServeFile("/s/s" + std::to_string(i % 3) + ".js", "text/javascript", "var x;");
    }
    site.ServePage("/s/index.html", index + "<a name=top></a>");
    site.ServeFile("/s/logo.png", "image/png", "PNG");

    SyntaxChecker::ResetAdvisories();
    VisitControl::ClearExcludedExtensions();
    LiveComponents live;
    ASSERT_NE(live.LookAheadOrNull(), nullptr);
    SettlingSleeper sleeper(*live.LookAheadOrNull());
    platform::NoEventPump pump;
    FakeFrontEnd frontEnd;
    Crawl crawl(frontEnd, live.Services(sleeper, pump));
    frontEnd.texts[TextControl::txtTmOut] = "32767";
    frontEnd.texts[TextControl::txtStartURL] = site.Url("/s/index.html");
    frontEnd.texts[TextControl::txtBaseURL] = site.Url("/s/");
    crawl.btnStartStop_Click();

    EXPECT_EQ(crawl.State().successfulCount, 26);  // 21 pages, an image, 3 scripts, a fragment
    EXPECT_EQ(crawl.State().brokenCount, 0);
    // At most one wait: whatever the walk asked for before it had arrived. After it, every answer
    // was there, so every request the walk made was one the look-ahead had planned.
    EXPECT_LE(sleeper.sleeps, 1);
    const LookAhead::Counts counts = live.LookAheadOrNull()->Statistics();
    EXPECT_EQ(counts.own, 0);
    EXPECT_EQ(counts.served + counts.joined, counts.walkRequests);
    EXPECT_EQ(counts.fetched, site.RequestCount());
}

}  // namespace
}  // namespace quill
