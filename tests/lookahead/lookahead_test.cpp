// The look-ahead's classes over a table-answered engine: the plan follows the walkers' table, every
// answer the look-ahead got serves the walk without a second request, bodies stay within the
// budget, and a host's wait holds back only that host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lookahead/answer_store.h"
#include "lookahead/fetch_queue.h"
#include "lookahead/look_ahead.h"
#include "lookahead/walk_plan.h"
#include "lookahead/web_rules.h"
#include "platform/clock.h"
#include "platform/html_document_builder.h"
#include "platform/transfer_engine.h"

namespace quill {
namespace {

using testing::ElementsAre;

// A transfer engine answering from a table of URLs (at once, or when the test releases a URL) that
// logs what it was asked, and web rules as simple as ours.
struct Answer {
    std::string statusLine = "HTTP/1.1 200 OK";
    std::string body{};
    std::string contentType = "text/html";
    std::vector<std::string> headers{};  // extra header lines ("Location: /")
    std::string error{};                 // a failure before any response ("Connection refused")
    std::chrono::seconds took{};         // how long the request had run when it was answered
};

void Respond(platform::Transfer& transfer, const Answer& answer) {
    const auto now = std::chrono::steady_clock::now();
    if (!answer.error.empty()) {
        return transfer.Finish(now, answer.error);
    }
    transfer.BeginResponse(answer.statusLine + "\r\n");
    transfer.AppendHeaderLine("Content-Type: " + answer.contentType + "\r\n");
    for (const std::string& line : answer.headers) {
        transfer.AppendHeaderLine(line + "\r\n");
    }
    transfer.AppendHeaderLine("\r\n");
    const int status = std::stoi(answer.statusLine.substr(answer.statusLine.find(' ') + 1, 3));
    transfer.EndHeaders(status, transfer.Request().url, answer.contentType,
                        static_cast<long long>(answer.body.size()), true);
    if (transfer.Request().method == "GET") {
        transfer.AppendBody(answer.body.data(), answer.body.size());
    }
    transfer.Finish(now);
}

class SiteEngine final : public platform::TransferEngine {
  public:
    std::shared_ptr<platform::Transfer> Start(platform::TransferRequest request) override {
        auto transfer = std::make_shared<platform::Transfer>(request);
        std::weak_ptr<platform::Transfer> weak = transfer;
        transfer->SetCancelHook([weak] {
            if (auto cancelled = weak.lock()) {
                cancelled->Finish(std::chrono::steady_clock::now(), "cancelled");
            }
        });
        Answer answer{"HTTP/1.1 404 Not Found", "<p>not found"};
        const auto now = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(mutex_);
            log_.push_back(request.method + " " + request.url);
            if (held_.count(request.url) > 0) {
                transfer->MarkStarted(now);
                waiting_[request.url].push_back(transfer);
                return transfer;
            }
            if (const auto found = answers_.find(request.url); found != answers_.end()) {
                answer = found->second;
            }
        }
        transfer->MarkStarted(now - answer.took);
        Respond(*transfer, answer);
        return transfer;
    }
    void SetFileAccess(bool) override {}
    bool FileAccess() const override { return false; }
    std::optional<long long> KnownContentLength(const std::string&) const override {
        return std::nullopt;
    }

    void Set(const std::string& url, Answer answer) {
        std::lock_guard lock(mutex_);
        answers_[url] = std::move(answer);
    }
    // Requests for url wait until Release(url).
    void Hold(const std::string& url) {
        std::lock_guard lock(mutex_);
        held_.insert(url);
    }
    void Release(const std::string& url) {
        std::vector<std::shared_ptr<platform::Transfer>> waiting;
        Answer answer;
        {
            std::lock_guard lock(mutex_);
            held_.erase(url);
            waiting.swap(waiting_[url]);
            answer = answers_[url];
        }
        for (const auto& transfer : waiting) {
            Respond(*transfer, answer);
        }
    }
    // Every request started, "METHOD url", in order.
    std::vector<std::string> Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    void ClearLog() {
        std::lock_guard lock(mutex_);
        log_.clear();
    }
    int Count(const std::string& methodAndURL) const {
        const std::vector<std::string> log = Log();
        return static_cast<int>(std::count(log.begin(), log.end(), methodAndURL));
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::set<std::string> held_;
    std::map<std::string, std::vector<std::shared_ptr<platform::Transfer>>> waiting_;
    std::vector<std::string> log_;
};

// Probes are HEAD requests, pages GET requests that follow redirects; no host waits; an HTML
// answer below 400 is a page.
class SimpleRules final : public lookahead::WebRules {
  public:
    platform::TransferRequest ProbeRequest(const std::string& url) const override {
        return {.url = url, .method = "HEAD"};
    }
    platform::TransferRequest PageRequest(const std::string& url) const override {
        return {.url = url, .method = "GET", .followRedirects = true};
    }
    std::string HostOf(const std::string& url) const override {
        return url.substr(0, url.find('/', url.find("//") + 2));
    }
    std::chrono::seconds RetryAfter(const platform::Transfer&) const override { return {}; }
    std::shared_ptr<const platform::Document> ReadPage(const platform::Transfer& answer,
                                                       const std::string& pageURL) const override {
        return ShowsPage(answer, pageURL) ? std::make_shared<const platform::Document>(
                                                platform::BuildHtmlDocument(answer.Body(), pageURL))
                                          : nullptr;
    }
    bool ShowsPage(const platform::Transfer& answer, const std::string&) const override {
        return answer.HeadersReceived() && answer.Status() < 400 &&
               answer.ContentType() == "text/html";
    }
};

const std::string kSite = "http://site.test/d/";

WalkSettings SiteSettings() {
    WalkSettings settings;
    settings.scope.baseURL = kSite;
    settings.scope.followExternal = true;
    settings.scope.excludedExtensions = {".zip"};
    return settings;
}

std::vector<std::string> Described(const lookahead::Plan& plan) {
    static const char* const kNames[] = {"probe", "page", "unprobed", "fragment", "record"};
    std::vector<std::string> described;
    for (const lookahead::PlannedFetch& fetch : plan) {
        const std::string url(fetch.url), fetchURL(fetch.FetchURL());
        described.push_back(std::string(kNames[static_cast<int>(fetch.kind)]) + " " + url +
                            (fetchURL == url ? "" : " > " + fetchURL) +
                            (fetch.walked ? " walked" : ""));
    }
    return described;
}

lookahead::Plan PlanOf(const std::string& html, const WalkSettings& settings) {
    const platform::Document document = platform::BuildHtmlDocument(html, kSite + "p.html");
    return lookahead::PlanPage(document, kSite + "p.html", 1, settings,
                               [](const std::string& url) { return url == kSite + "seen.html"; });
}

// Elements written against the walk order; the plan comes out in walk order: images, applets,
// scripts, style sheets, links, frames, forms.
const std::string kEveryKind =
    "<form action=f.cgi></form><iframe src=fr.html#x></iframe>"
    "<a href=a.html>a</a><a href=a.html>again</a><a href=seen.html>seen</a>"
    "<a href=http://other.test/x.html>ext</a><a href=mailto:me@site.test>mail</a>"
    "<a href=#top>top</a><a href=b.html#s>b</a><a href=z.zip>zip</a>"
    "<link rel=stylesheet href=s.css><script src=j.js></script><img src=i.png>";

TEST(WalkPlan, FollowsTheWalkersTableInWalkOrder) {
    EXPECT_THAT(Described(PlanOf(kEveryKind, SiteSettings())),
                ElementsAre("probe " + kSite + "i.png", "probe " + kSite + "j.js",
                            "probe " + kSite + "s.css", "page " + kSite + "a.html walked",
                            "probe http://other.test/x.html", "record mailto:me@site.test",
                            "record " + kSite + "p.html#top",
                            "fragment " + kSite + "b.html#s > " + kSite + "b.html",
                            "probe " + kSite + "z.zip",
                            "unprobed " + kSite + "fr.html#x > " + kSite + "fr.html walked",
                            "probe " + kSite + "f.cgi"));
}

TEST(WalkPlan, BoxesOffAndTheDepthLeaveTheirPartOut) {
    WalkSettings settings = SiteSettings();
    settings.images = settings.scriptsAndStyles = settings.frames = settings.forms = false;
    settings.maximumDepth = 1;  // pages below this one are loaded, not walked
    settings.scope.followExternal = false;
    EXPECT_THAT(Described(PlanOf(kEveryKind, settings)),
                ElementsAre("page " + kSite + "a.html", "record http://other.test/x.html",
                            "record mailto:me@site.test", "record " + kSite + "p.html#top",
                            "fragment " + kSite + "b.html#s > " + kSite + "b.html",
                            "probe " + kSite + "z.zip"));
}

// --- the look-ahead over a table-answered engine ---------------------------------------------

class LookAheadTest : public testing::Test {
  protected:
    std::unique_ptr<LookAhead> Make(LookAheadLimits limits = {},
                                    platform::ScratchFile* aside = nullptr) {
        return std::make_unique<LookAhead>(engine, clock, rules, limits, aside);
    }

    SiteEngine engine;
    platform::SystemClock clock;
    SimpleRules rules;
    const std::string start = kSite + "index.html";
};

struct ServedCase {
    const char* name;
    Answer answer;
};

class AnswerServesTheWalk : public LookAheadTest, public testing::WithParamInterface<ServedCase> {};

// The start page's probe, and the load of a start page with a fragment (which is not probed).
TEST_P(AnswerServesTheWalk, WithoutASecondRequest) {
    auto lookAhead = Make();
    for (const auto& [page, request] :
         {std::pair{start, rules.ProbeRequest(start)},
          std::pair{kSite + "other.html#top", rules.PageRequest(kSite + "other.html")}}) {
        engine.Set(request.url, GetParam().answer);
        lookAhead->RunStarted(page, SiteSettings());
        lookAhead->WaitUntilIdle();
        const auto answer = lookAhead->Start(request);
        ASSERT_TRUE(answer->Finished());
        EXPECT_EQ(answer->Error(), GetParam().answer.error);
        EXPECT_EQ(answer->Header().substr(0, GetParam().answer.statusLine.size()),
                  GetParam().answer.statusLine);
        EXPECT_EQ(engine.Count(request.method + " " + request.url), 1);
        EXPECT_EQ(lookAhead->Statistics().served, 1);
        lookAhead->RunEnded();
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfAnswer, AnswerServesTheWalk,
    testing::Values(ServedCase{"Ok", {"HTTP/1.1 200 OK", "<p>"}},
                    ServedCase{"NotFound", {"HTTP/1.1 404 Not Found", "<p>"}},
                    ServedCase{"Redirect",
                               {"HTTP/1.1 301 Moved", "", "text/html", {"Location: /"}}},
                    ServedCase{"TooMany", {"HTTP/1.1 429 Too Many", "", "text/plain", {}}},
                    ServedCase{"Unavailable", {"HTTP/1.1 503 Busy", "", "text/plain", {}}},
                    ServedCase{"Refused", {"", "", "", {}, "Connection refused"}},
                    ServedCase{"TimedOut", {"", "", "", {}, "Timeout", std::chrono::seconds(61)}}),
    [](const auto& info) { return std::string(info.param.name); });

// Neither a response nor a failure: the walk asks for itself.
TEST(AnswerServes, NotAnAnswerThatHasNeitherAResponseNorAFailure) {
    const platform::TransferRequest request{kSite + "x.html", "HEAD"};
    platform::Transfer transfer(request);
    transfer.Finish(std::chrono::steady_clock::now());
    EXPECT_FALSE(lookahead::AnswerServes(transfer, request));
}

TEST_F(LookAheadTest, AWalkRequestJoinsAFetchOnItsWayAndNoAnswerIsKeptForItsTime) {
    engine.Set(start, Answer{"HTTP/1.1 200 OK", "<p>home"});
    engine.Hold(start);
    auto lookAhead = Make();
    lookAhead->RunStarted(start, SiteSettings());
    const std::uint64_t mark = lookAhead->MarkRequests();
    auto probe = lookAhead->Start(rules.ProbeRequest(start));
    EXPECT_FALSE(probe->Finished());
    engine.Release(start);
    probe->WaitFinished();
    EXPECT_EQ(probe->Status(), 200);
    EXPECT_EQ(engine.Count("HEAD " + start), 1);
    EXPECT_EQ(lookAhead->Statistics().joined, 1);
    // Joined or served at once, an answer is timed for the walk's load time but not kept: a big
    // page goes as soon as the walk lets go of it.
    lookAhead->WaitUntilIdle();
    const std::weak_ptr<platform::Transfer> joined = std::exchange(probe, nullptr);
    EXPECT_TRUE(joined.expired());
    EXPECT_EQ(lookAhead->ServedSeconds(mark), 0);
    const std::uint64_t pageMark = lookAhead->MarkRequests();
    const std::weak_ptr<platform::Transfer> served = lookAhead->Start(rules.PageRequest(start));
    EXPECT_EQ(lookAhead->Statistics().served, 1);
    EXPECT_TRUE(served.expired());
    EXPECT_EQ(lookAhead->ServedSeconds(pageMark), 0);
}

// a.html is walked before b.html, whose link to a fragment of a.html has the walk load it again.
TEST_F(LookAheadTest, APageLoadedAgainForItsFragmentsIsFetchedAgainAhead) {
    const std::string a = kSite + "a.html", b = kSite + "b.html";
    const std::string index = "<a href=a.html>a</a><a href=b.html>b</a>";
    engine.Set(start, Answer{"HTTP/1.1 200 OK", index});
    engine.Set(a, Answer{"HTTP/1.1 200 OK", "<p id=x>"});
    engine.Set(b, Answer{"HTTP/1.1 200 OK", "<a href=a.html#x>x</a>"});
    engine.Hold(b);
    auto lookAhead = Make();
    lookAhead->RunStarted(start, SiteSettings());
    const auto walk = [&](const std::vector<platform::TransferRequest>& requests) {
        for (const platform::TransferRequest& request : requests) {
            lookAhead->Start(request)->WaitFinished();
        }
    };
    walk({rules.ProbeRequest(start), rules.PageRequest(start)});
    lookAhead->PageWalked(platform::BuildHtmlDocument(index, start), start, 1, SiteSettings(),
                          [](const std::string&) { return false; });
    walk({rules.ProbeRequest(a), rules.PageRequest(a)});
    engine.Release(b);
    lookAhead->WaitUntilIdle();
    walk({rules.ProbeRequest(b), rules.PageRequest(b), rules.PageRequest(a)});
    EXPECT_EQ(lookAhead->Statistics().own, 0);
    EXPECT_EQ(engine.Count("GET " + a), 2);
}

TEST_F(LookAheadTest, AFetchGivenUpOnStopIsNotTheWalksAnswer) {
    engine.Set(start, Answer{"HTTP/1.1 200 OK", "<p>home"});
    engine.Hold(start);
    auto lookAhead = Make();
    lookAhead->RunStarted(start, SiteSettings());
    const auto probe = lookAhead->Start(rules.ProbeRequest(start));
    WalkSettings stopped = SiteSettings();
    stopped.running = false;
    lookAhead->SettingsChanged(stopped);
    engine.Release(start);  // answers the walk's own request, sent once the fetch was cancelled
    probe->WaitFinished();
    EXPECT_EQ(probe->Error(), "");
    EXPECT_EQ(probe->Status(), 200);
    EXPECT_EQ(engine.Count("HEAD " + start), 2);
}

TEST_F(LookAheadTest, AnswersStayWithinTheBudgetAndProbedURLsHoldNoBody) {
    std::string index;
    // Bodies that packing does not make smaller.
    std::string body;
    for (std::uint32_t i = 0, noise = 1; i < 1000; ++i, noise = noise * 1103515245 + 12345) {
        body += static_cast<char>('a' + (noise >> 16) % 26);
    }
    for (int i = 0; i < 8; ++i) {
        const std::string page = "p" + std::to_string(i) + ".html";
        index += "<a href=" + page + ">p</a><img src=i" + std::to_string(i) + ".png>";
        engine.Set(kSite + page, Answer{"HTTP/1.1 200 OK", "<p>" + body});
        engine.Set(kSite + "i" + std::to_string(i) + ".png", Answer{"HTTP/1.1 200 OK", body});
    }
    engine.Set(start, Answer{"HTTP/1.1 200 OK", index});
    // Room for three pages.
    const std::size_t budget = 3 * lookahead::AnswerStore::Footprint(body.size() + 3);
    // Answers beyond the budget are let go and fetched again, or set aside and read back.
    for (const std::uint64_t scratchBytes : {0, 1 << 20}) {
        platform::ScratchFile aside(scratchBytes);
        auto lookAhead = Make(LookAheadLimits{128, 32, budget}, &aside);
        engine.ClearLog();
        lookAhead->RunStarted(start, SiteSettings());
        lookAhead->WaitUntilIdle();
        EXPECT_LE(lookAhead->HeldBytes(), budget);
        EXPECT_EQ(engine.Count("GET " + kSite + "i0.png"), 0);
        // The walk gets every page all the same: from the look-ahead, or by its own request.
        for (int i = 0; i < 8; ++i) {
            const std::string page = kSite + "p" + std::to_string(i) + ".html";
            const auto answer = lookAhead->Start(rules.PageRequest(page));
            answer->WaitFinished();
            EXPECT_EQ(answer->Body(), "<p>" + body);
            EXPECT_LE(engine.Count("GET " + page), scratchBytes == 0 && i > 0 ? 2 : 1);
            lookAhead->WaitUntilIdle();
            EXPECT_LE(lookAhead->HeldBytes(), budget);
        }
    }
}

// Probes have no body, yet their answers count: a walk that lags far behind does not have every
// probe of the site held for it.
TEST_F(LookAheadTest, ProbesAheadOfTheWalkStopAtTheBudget) {
    std::string index;
    for (int i = 0; i < 50; ++i) {
        index += "<img src=i" + std::to_string(i) + ".png>";
    }
    engine.Set(start, Answer{"HTTP/1.1 200 OK", index});
    auto lookAhead = Make(LookAheadLimits{128, 32, 6 * lookahead::AnswerStore::kPerAnswer});
    lookAhead->RunStarted(start, SiteSettings());
    lookAhead->WaitUntilIdle();
    int probed = 0;
    for (int i = 0; i < 50; ++i) {
        probed += engine.Count("HEAD " + kSite + "i" + std::to_string(i) + ".png");
    }
    EXPECT_LT(probed, 25);  // packed, a probe's answer takes less than its share
    EXPECT_LE(lookAhead->HeldBytes(), 6 * lookahead::AnswerStore::kPerAnswer);
}

// A page too big to read ahead is planned from the walk's own reading of it: what it refers to is
// fetched ahead all the same.
TEST_F(LookAheadTest, APageTooBigToReadAheadIsPlannedFromTheWalksReading) {
    const std::string index = "<a href=a.html>a</a><img src=i.png>";
    engine.Set(start, Answer{"HTTP/1.1 200 OK", index});
    auto lookAhead = Make(LookAheadLimits{128, 32, std::size_t{1} << 20, index.size() - 1});
    lookAhead->RunStarted(start, SiteSettings());
    for (const auto& request : {rules.ProbeRequest(start), rules.PageRequest(start)}) {
        lookAhead->Start(request)->WaitFinished();
    }
    lookAhead->WaitUntilIdle();
    EXPECT_EQ(engine.Count("HEAD " + kSite + "a.html"), 0);  // not read ahead
    lookAhead->PageWalked(platform::BuildHtmlDocument(index, start), start, 1, SiteSettings(),
                          [](const std::string&) { return false; });
    lookAhead->WaitUntilIdle();
    EXPECT_EQ(engine.Count("HEAD " + kSite + "i.png"), 1);
    EXPECT_EQ(engine.Count("HEAD " + kSite + "a.html"), 1);
}

// The rehearsal over fetches whose answers the test gives by hand.
class RehearsalTest : public testing::Test, protected lookahead::Rehearsal::Fetches {
  protected:
    using Fetch = lookahead::Fetch;

    Fetch& Want(bool head, std::string_view url, const lookahead::Priority&, bool) override {
        std::unique_ptr<Fetch>& fetch = fetches[{head, std::string(url)}];
        if (!fetch) {
            fetch = std::make_unique<Fetch>();
            fetch->url = url;
            wanted.push_back((head ? "HEAD " : "GET ") + fetch->url);
        }
        return *fetch;
    }
    Fetch* Find(bool head, std::string_view url) override {
        const auto found = fetches.find({head, std::string(url)});
        return found != fetches.end() ? found->second.get() : nullptr;
    }
    void Refetch(Fetch& page, bool) override { page.state = Fetch::State::kPending; }
    void Passed(Fetch&) override {}
    void NeedPlan(Fetch& page) override {
        if (page.state == Fetch::State::kReleased) {
            Refetch(page, false);
        }
    }
    // The probe says "200 OK" and the page shows `html`.
    void Answer(const std::string& page, const std::string& html) {
        Want(true, page, {}, false).probeOk = true;
        Want(true, page, {}, false).state = Fetch::State::kFinished;
        Fetch& fetch = Want(false, page, {}, false);
        fetch.state = Fetch::State::kFinished;
        fetch.walkable = true;
        fetch.plan = std::make_unique<const lookahead::PackedPlan>(lookahead::PlanPage(
            platform::BuildHtmlDocument(html, page), page, 1, SiteSettings(), {}));
    }

    std::map<std::pair<bool, std::string>, std::unique_ptr<Fetch>> fetches;
    std::vector<std::string> wanted;
    lookahead::Rehearsal rehearsal;
};

// a.html was loaded for its fragment and let go before the walk follows a link to it: the
// rehearsal has it fetched again and walks it, in step with the walk.
TEST_F(RehearsalTest, WalksAPageFirstLoadedForItsFragments) {
    const std::string start = kSite + "index.html", a = kSite + "a.html";
    Answer(start, "<a href=a.html#x>x</a><a href=b.html>b</a>");
    Answer(kSite + "b.html", "<a href=a.html>a</a>");
    Fetch& loaded = Want(false, a, {}, false);
    loaded.state = Fetch::State::kReleased;
    loaded.walkable = true;
    loaded.asked = 1;
    rehearsal.Start(start);
    rehearsal.Run(*this, 0);
    Want(true, a, {}, false).probeOk = true;
    Want(true, a, {}, false).state = Fetch::State::kFinished;
    rehearsal.Run(*this, 0);
    Answer(a, "<a href=c.html>c</a>");
    rehearsal.Run(*this, 0);
    EXPECT_THAT(wanted, testing::Contains("HEAD " + kSite + "c.html"));
}

// a.html, fetched ahead, shows as HTML while its probe is on its way: the rehearsal goes on into
// it rather than wait a round trip.
TEST_F(RehearsalTest, GoesIntoAPageShownAsHtmlBeforeItsProbeAnswers) {
    const std::string start = kSite + "index.html", a = kSite + "a.html";
    Answer(start, "<a href=a.html>a</a>");
    Answer(a, "<a href=b.html>b</a>");
    Fetch& probe = Want(true, a, {}, false);
    probe.probeOk.reset();
    probe.state = Fetch::State::kInFlight;
    rehearsal.Start(start);
    rehearsal.Run(*this, 0);
    EXPECT_THAT(wanted, testing::Contains("HEAD " + kSite + "b.html"));
}

// b.html's answers give way to a.html's images, which the walk asks for first: they are fetched
// again when there is room, not left to the walk.
TEST_F(LookAheadTest, AnAnswerLetGoForRoomIsFetchedAgainBeforeTheWalkAsks) {
    const std::string a = kSite + "a.html", b = kSite + "b.html";
    engine.Set(start, Answer{"HTTP/1.1 200 OK", "<a href=a.html>a</a><a href=b.html>b</a>"});
    std::string images;
    std::vector<platform::TransferRequest> walk = {rules.ProbeRequest(start),
                                                   rules.PageRequest(start), rules.ProbeRequest(a),
                                                   rules.PageRequest(a)};
    for (int i = 0; i < 6; ++i) {
        images += "<img src=i" + std::to_string(i) + ".png>";
        walk.push_back(rules.ProbeRequest(kSite + "i" + std::to_string(i) + ".png"));
    }
    engine.Set(a, Answer{"HTTP/1.1 200 OK", images});
    engine.Set(b, Answer{"HTTP/1.1 200 OK", "<p>b"});
    walk.insert(walk.end(), {rules.ProbeRequest(b), rules.PageRequest(b)});
    auto lookAhead = Make(LookAheadLimits{128, 32, 6 * lookahead::AnswerStore::kPerAnswer + 200});
    lookAhead->RunStarted(start, SiteSettings());
    lookAhead->WaitUntilIdle();
    for (const platform::TransferRequest& request : walk) {
        lookAhead->Start(request)->WaitFinished();
        lookAhead->WaitUntilIdle();
        EXPECT_EQ(lookAhead->Statistics().own, 0) << request.method << " " << request.url;
    }
}

// The walk never asks for the first images (met on an earlier page, say): held for good, they would
// keep the budget from everything the walk asks for next.
TEST_F(LookAheadTest, AnswersTheWalkWentPastGiveWayToWhatItAsksNext) {
    constexpr int kImages = 400;
    const auto image = [&](int i) { return kSite + "i" + std::to_string(i) + ".png"; };
    std::string index;
    for (int i = 0; i < kImages; ++i) {
        index += "<img src=i" + std::to_string(i) + ".png>";
    }
    engine.Set(start, Answer{"HTTP/1.1 200 OK", index});
    auto lookAhead =
        Make(LookAheadLimits{128, 32, 10 * lookahead::AnswerStore::kPerAnswer + index.size()});
    lookAhead->RunStarted(start, SiteSettings());
    const auto ask = [&](const platform::TransferRequest& request) {
        lookAhead->Start(request)->WaitFinished();
        lookAhead->WaitUntilIdle();
    };
    ask(rules.ProbeRequest(start));
    ask(rules.PageRequest(start));
    for (int i = 20; i < kImages; ++i) {
        ask(rules.ProbeRequest(image(i)));
    }
    EXPECT_GT(lookAhead->Statistics().served, kImages / 16);
    EXPECT_EQ(lookAhead->Statistics().own, 0);
}

// A page walked and read again later for its fragments waits, once walked, at the place of its
// later use: the walk's requests in between do not age it out.
TEST_F(LookAheadTest, APageUsedTwiceWaitsAtThePlaceOfItsLaterUse) {
    constexpr int kImages = 400;
    const std::string a = kSite + "a.html", b = kSite + "b.html";
    std::string pageB;
    for (int i = 0; i < kImages; ++i) {
        pageB += "<img src=i" + std::to_string(i) + ".png>";
    }
    pageB += "<a href=a.html#x>x</a>";
    engine.Set(start, Answer{"HTTP/1.1 200 OK", "<a href=a.html>a</a><a href=b.html>b</a>"});
    engine.Set(a, Answer{"HTTP/1.1 200 OK", "<p id=x>"});
    engine.Set(b, Answer{"HTTP/1.1 200 OK", pageB});
    auto lookAhead =
        Make(LookAheadLimits{128, 32, 20 * lookahead::AnswerStore::kPerAnswer + pageB.size()});
    lookAhead->RunStarted(start, SiteSettings());
    lookAhead->WaitUntilIdle();
    const auto ask = [&](const platform::TransferRequest& request) {
        lookAhead->Start(request)->WaitFinished();
        lookAhead->WaitUntilIdle();
    };
    for (const std::string& page : {start, a, b}) {
        ask(rules.ProbeRequest(page));
        ask(rules.PageRequest(page));
    }
    for (int i = 0; i < kImages; ++i) {
        ask(rules.ProbeRequest(kSite + "i" + std::to_string(i) + ".png"));
    }
    ask(rules.PageRequest(a));
    EXPECT_EQ(lookAhead->Statistics().own, 0);
}

// The walk's requests age a held answer only once the walk has gone past its place: one fetched
// long before the walk comes to it stays for the walk.
TEST(AnswerStore, AnAgedAnswerGivesWayOnlyOnceTheWalkIsPastItsPlace) {
    using lookahead::Priority;
    lookahead::AnswerStore store(2 * lookahead::AnswerStore::kPerAnswer);
    lookahead::Fetch& passed = *store.FindOrAdd(true, "http://site/passed").first;
    lookahead::Fetch& ahead = *store.FindOrAdd(true, "http://site/ahead").first;
    passed.priority = Priority{Priority::kRehearsed, 3, 0};
    ahead.priority = Priority{Priority::kRehearsed, 10, 0};
    for (lookahead::Fetch* fetch : {&passed, &ahead}) {
        fetch->transfer =
            std::make_shared<platform::Transfer>(platform::TransferRequest{fetch->url});
        store.Hold(*fetch, 0);
    }
    store.WalkReached(Priority{Priority::kRehearsed, 5, 0});
    store.MakeRoom(2 * lookahead::AnswerStore::kPerAnswer, Priority{Priority::kAhead + 1, 0, 0},
                   100000);
    EXPECT_EQ(passed.state, lookahead::Fetch::State::kReleased);
    EXPECT_EQ(ahead.state, lookahead::Fetch::State::kFinished);
}

// Short of room, answers are packed, then set aside in the scratch file, and read as they came;
// only what cannot be set aside is let go.
TEST(AnswerStore, ShortOfRoomAnswersArePackedThenSetAsideBeforeAnyIsLetGo) {
    using lookahead::Priority;
    const std::string body = "<p>" + std::string(4000, 'x');
    const std::size_t roomForTwo = 2 * lookahead::AnswerStore::Footprint(body.size());
    const struct {
        std::size_t budget;
        std::uint64_t scratchBytes;
        bool kept;
    } cases[] = {
        {roomForTwo, 0, true},  // packed, all fit
        {1, 1 << 20, true},     // set aside
        {1, 0, false},          // no room in memory nor in the file: let go
    };
    for (const auto& c : cases) {
        platform::ScratchFile scratch(c.scratchBytes);
        lookahead::AnswerStore store(c.budget, &scratch);
        std::vector<lookahead::Fetch*> fetches;
        for (int i = 0; i < 3; ++i) {
            lookahead::Fetch& fetch =
                *store.FindOrAdd(false, "http://site/" + std::to_string(i)).first;
            fetch.priority = Priority{Priority::kRehearsed, i, 0};
            fetch.transfer =
                std::make_shared<platform::Transfer>(platform::TransferRequest{fetch.url});
            fetch.transfer->AppendBody(body.data(), body.size());
            store.Hold(fetch, 0);
            store.MakeRoom(0, Priority{Priority::kWalkNow - 1, 0, 0}, 0);
            fetches.push_back(&fetch);
        }
        for (lookahead::Fetch* fetch : fetches) {
            const auto answer = store.Answer(*fetch);
            EXPECT_EQ(answer != nullptr, c.kept) << c.budget;
            EXPECT_EQ(answer ? answer->Body() : "", c.kept ? body : "") << c.budget;
            EXPECT_EQ(fetch->droppedForRoom, !c.kept) << c.budget;
        }
    }
}

lookahead::Fetch Waiting(bool head, const std::string& host, std::int64_t place) {
    lookahead::Fetch fetch;
    fetch.head = head;
    fetch.url = host + "/x";
    fetch.host = &host;
    fetch.priority.major = place;
    return fetch;
}

TEST(FetchQueue, AHostsWaitHoldsBackThatHostAlone) {
    const std::string slowHost = "http://slow";
    const std::string otherHost = "http://other";
    lookahead::Fetch slow = Waiting(true, slowHost, 0);
    lookahead::Fetch other = Waiting(true, otherHost, 1);
    lookahead::FetchQueue queue(8, 8);
    queue.Add(slow);
    queue.Add(other);
    const auto now = std::chrono::steady_clock::now();
    queue.HoldBack("http://slow", now + std::chrono::seconds(10));
    EXPECT_EQ(queue.Next(now, true), &other);
    EXPECT_EQ(queue.Next(now, true), nullptr);
    EXPECT_EQ(queue.NextHoldBackEnd(now), now + std::chrono::seconds(10));
    EXPECT_EQ(queue.Next(now + std::chrono::seconds(10), true), &slow);
}

// Without room for answers, only what lies far ahead goes, and only as a scout: a fetch the walk
// or the rehearsal placed waits for room. Nothing of a band after the last one allowed goes.
TEST(FetchQueue, WithoutRoomOnlyAFetchFoundFarAheadGoes) {
    const std::string host = "http://site";
    lookahead::Fetch placed = Waiting(true, host, 0);
    placed.priority.band = lookahead::Priority::kRehearsed;
    lookahead::Fetch ahead = Waiting(false, host, 1);
    lookahead::FetchQueue queue(8, 8);
    queue.Add(placed);
    queue.Add(ahead);
    const auto now = std::chrono::steady_clock::now();
    EXPECT_EQ(queue.Next(now, false), nullptr);
    EXPECT_EQ(queue.Next(now, false, true, lookahead::Priority::kRehearsed), nullptr);
    EXPECT_EQ(queue.Next(now, false, true), &ahead);
    EXPECT_EQ(queue.Next(now, false, true), nullptr);
    EXPECT_EQ(queue.Next(now, true), &placed);
}

}  // namespace
}  // namespace quill
