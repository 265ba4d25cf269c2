#include "crawl/crawl.h"

#include <charconv>
#include <chrono>
#include <exception>
#include <utility>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "crawl/run_failure.h"
#include "crawl/verdict_reasons.h"
#include "crawl/walkers.h"
#include "platform/ascii.h"
#include "platform/large_stack.h"
#include "probe/url_checker.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill {
namespace {

constexpr int kDefaultLoadTimeOut = 60;
constexpr int kWaitMilliseconds = 1000;
constexpr int kPumpsPerPass = 3;

// The time-out box as a whole number of seconds; anything that is not a whole number from -32768
// to 32767 (blanks around it allowed) is read as the default.
int LoadTimeOutFrom(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return kDefaultLoadTimeOut;
    }
    const std::size_t last = text.find_last_not_of(" \t");
    std::string number = text.substr(first, last - first + 1);
    if (number[0] == '+') {
        number.erase(0, 1);
        if (number.empty() || number[0] == '-') {
            return kDefaultLoadTimeOut;
        }
    }
    int value = 0;
    const char* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || stop != end || value < -32768 || value > 32767) {
        return kDefaultLoadTimeOut;
    }
    return value;
}

std::string FailureText(std::exception_ptr failure) {
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown failure";
    }
}

std::vector<std::string> OpenPageURLs() {
    std::vector<std::string> pages;
    for (const auto& entry : LinkStatistics::OpenPages()) {
        pages.emplace_back(entry.key);
    }
    return pages;
}

}  // namespace

Crawl::Crawl(CrawlFrontEnd& frontEnd, CrawlServices services)
    : frontEnd_(frontEnd), services_(std::move(services)) {}

bool Crawl::InRun() const {
    return inRun_;
}

const CrawlState& Crawl::State() const {
    return state_;
}

void Crawl::btnStartStop_Click() {
    // While a run is on, a click can only ask it to stop, whatever the caption says: a second run
    // inside the first would empty the registry under it.
    if (frontEnd_.Caption(CaptionControl::btnStartStop) != "Start" || inRun_) {
        state_.running = false;
        // The requests in flight are cancelled, and the probe sends no new one.
        URLChecker::Stop();
        services_.browser.Stop();
        return;
    }
    if (frontEnd_.Text(TextControl::txtStartURL).empty()) {
        return;
    }
    RunCrawl();
}

void Crawl::RunCrawl() {
    inRun_ = true;
    fragmentPages_.clear();
    std::exception_ptr failure;
    int loadTime = 0;
    try {
        LinkStatistics::ResetLinkStatistics();
        SyntaxChecker::ResetAdvisories();
        VisitControl::ResetVisitControl();
        frontEnd_.ClearList(ListControl::lstGoodLinks);
        frontEnd_.ClearList(ListControl::lstBrokenLinks);
        frontEnd_.ClearList(ListControl::lstSkippedLinks);

        state_.successfulCount = 0;
        state_.skippedCount = 0;
        state_.brokenCount = 0;
        ShowCount(CaptionControl::lblNumSuccessfulLinks, state_.successfulCount);
        ShowCount(CaptionControl::lblNumSkippedLinks, state_.skippedCount);
        ShowCount(CaptionControl::lblNumBrokenLinks, state_.brokenCount);

        state_.currentDepth = 0;
        ShowDepth();
        state_.running = true;
        state_.loadTimeOut = LoadTimeOutFrom(frontEnd_.Text(TextControl::txtTmOut));
        VisitControl::SetFollowExternal(frontEnd_.Value(CheckControl::chkExternal));
        URLChecker::SetInetControl(services_.inet);
        // The time-out bounds every request: probes and page loads alike.
        URLChecker::SetRequestTimeout(state_.loadTimeOut);
        services_.browser.SetLoadTimeoutSeconds(state_.loadTimeOut);
        // The disk answers file: URLs only for a run that starts there.
        services_.setFileAccess(
            platform::StartsWithNoCase(frontEnd_.Text(TextControl::txtStartURL), "file:"));
        frontEnd_.SetCaption(CaptionControl::btnStartStop, "Stop");
        services_.browser.SetSilent(true);
        services_.browser.SetOffline(false);
        state_.startURL = frontEnd_.Text(TextControl::txtStartURL);
        VisitControl::SetBaseURL(frontEnd_.Text(TextControl::txtBaseURL));
        if (services_.lookAhead != nullptr) {
            services_.lookAhead->RunStarted(state_.startURL, CurrentWalkSettings());
        }

        // The whole crawl happens inside this call, on a stack that grows with the walk's depth;
        // the start page is recorded last. A start URL that cannot be crawled is broken without a
        // request.
        std::string reason = StartURLProblem(state_.startURL);
        bool good = false;
        if (reason.empty()) {
            platform::RunOnLargeStack(
                [&] { good = VisitPage(state_.startURL, true, loadTime, &reason); });
        }
        RecordLinkResult(frontEnd_.Text(TextControl::txtStartURL), "",
                         good ? kLinkValid : kLinkBroken, loadTime, reason);
    } catch (...) {
        failure = std::current_exception();
        // Each page unwinds itself on the way up; this holds even when a failure came between.
        for (const std::string& page : OpenPageURLs()) {
            LinkStatistics::RemoveOpenPage(page);
        }
        state_.currentDepth = 0;
        RecordStartPageAfterFailure(loadTime);
    }
    if (services_.lookAhead != nullptr) {
        services_.lookAhead->RunEnded();
    }

    frontEnd_.SetCaption(CaptionControl::btnStartStop, "Start");
    ShowDepth();
    try {
        services_.browser.Navigate("about:blank");
    } catch (...) {
        if (!failure) {
            failure = std::current_exception();
        }
    }
    frontEnd_.SetCaption(CaptionControl::lblDocHref, "");
    frontEnd_.SetCaption(CaptionControl::lblDocTitle, "");
    fragmentPages_.clear();
    inRun_ = false;

    if (failure) {
        frontEnd_.ShowRunFailure("The crawl ended early: " + FailureText(failure));
    }
    frontEnd_.ShowRunEnd(failure          ? RunEnd::kFailed
                         : state_.running ? RunEnd::kFinished
                                          : RunEnd::kStopped);
}

void Crawl::RecordStartPageAfterFailure(int loadTime) {
    try {
        lastLoad_ = {};
        const std::string startText = frontEnd_.Text(TextControl::txtStartURL);
        if (!LinkStatistics::IsValidLink(startText) && !LinkStatistics::IsBrokenLink(startText) &&
            !LinkStatistics::IsSkippedLink(startText)) {
            RecordLinkResult(startText, "", kLinkBroken, loadTime, "the crawl ended early");
        }
    } catch (...) {
        // The failure that ended the run is the one worth showing.
    }
}

bool Crawl::VisitPage(const std::string& url, bool follow, int& loadTime, std::string* reason) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    if (const std::optional<bool> verdict = LoadForVisit(url, follow, loadTime, why)) {
        return *verdict;
    }

    const LoadFacts pageLoad = lastLoad_;
    ++state_.currentDepth;
    ShowDepth();
    bool result = true;
    const int maximumDepth = frontEnd_.MaximumDepth();
    if (WithinMaximumDepth(state_.currentDepth, maximumDepth)) {
        LinkStatistics::AddOpenPage(url);
        try {
            result = parseDoc(services_.browser);
        } catch (...) {
            LeaveFailedPage(url);
        }
        LinkStatistics::RemoveOpenPage(url);
    }
    --state_.currentDepth;
    ShowDepth();
    lastLoad_ = pageLoad;
    return result;
}

// Kept out of VisitPage, whose frame stays on the stack while the walk is deeper down.
std::optional<bool> Crawl::LoadForVisit(const std::string& url, bool follow, int& loadTime,
                                        std::string& why) {
    frontEnd_.SetCaption(CaptionControl::lblDocHref, url);
    frontEnd_.SetCaption(CaptionControl::lblDocTitle, "");
    if (LinkStatistics::IsValidLink(url)) {
        why = LinkStatistics::ReasonOf(url);
        return true;
    }

    const platform::Clock::TimePoint start = services_.clock.Now();
    const std::optional<std::uint64_t> mark = MarkRequests();
    std::optional<int> status;
    const auto elapsed = [&] {
        const int seconds =
            LoadSeconds(mark, platform::ElapsedSeconds(start, services_.clock.Now()));
        NoteLoad(seconds, start, status);
        return seconds;
    };

    // A URL with a fragment is settled by loading it, never by a probe.
    why = kReasonPageLoaded;
    if (!HoldsFragmentMark(url)) {
        const bool reachable = URLChecker::IsURLReachable(url, services_.sleeper, pump_);
        status = URLChecker::LastProbeStatus();
        why = ProbeReason(url, reachable);
        if (!reachable) {
            loadTime = elapsed();
            return false;
        }
    }
    if (!follow) {
        loadTime = elapsed();
        return true;
    }

    platform::Browser& browser = services_.browser;
    browser.Navigate(url);
    // Timed out, the page is judged and walked with what has arrived.
    const std::shared_ptr<platform::Completion> loaded = browser.LoadDone();
    const bool waited = WaitForPage(
        [&browser] { return browser.ReadyState() == platform::Browser::kReadyStateComplete; },
        *loaded);
    loadTime = elapsed();
    if (!waited) {
        why = kReasonStopped;
        return false;
    }

    if (const std::string location = browser.LocationURL(); location != url) {
        if (location != "about:neterror") {
            why = PageMovedReason(location);
        } else if (const std::string failure = browser.LoadFailureReason(); !failure.empty()) {
            why = failure;  // "stopped", "404 Not Found", "connection refused", ...
        } else {
            why = kReasonPageNotLoaded;
        }
        return false;
    }
    return std::nullopt;
}

void Crawl::StartPageWalk(platform::Document& document, const std::string& pageURL) {
    // The walk goes by pageURL: the copy in the document goes, as the page may stay open long,
    // and so does the title once shown.
    std::string().swap(document.url);
    frontEnd_.SetCaption(CaptionControl::lblDocTitle, std::exchange(document.title, {}));
    frontEnd_.PageWalkStarted(pageURL);
    if (services_.lookAhead != nullptr) {
        services_.lookAhead->PageWalked(document, pageURL, state_.currentDepth,
                                        CurrentWalkSettings(), &Crawl::SeenBefore);
    }
}

void Crawl::LeaveFailedPage(const std::string& url) {
    // Leave the open-page set and the depth as they were before this page, then end the run: a
    // failure below a page is not a verdict on the link that led to it.
    const std::exception_ptr failure = std::current_exception();
    if (LinkStatistics::IsOpenPage(url)) {
        LinkStatistics::RemoveOpenPage(url);
    }
    --state_.currentDepth;
    ShowDepth();
    throw RunFailure(FailureText(failure));
}

bool Crawl::parseDoc(platform::Browser& linkBrowser) {
    const std::string pageURL = linkBrowser.LocationURL();
    // The walk holds the document alone and lets go of each collection once its walker's turn is
    // over, so a page left open while the walk is deeper down holds only what its remaining
    // walkers need.
    platform::Document document = linkBrowser.TakeDocument();
    if (!document.IsHtml()) {
        return true;
    }
    StartPageWalk(document, pageURL);
    // Each box is read when its walker's turn comes, so a change during an earlier walker counts.
    for (const WalkerRow& row : kWalkers) {
        if (frontEnd_.Value(row.box)) {
            Walk(row.walker, document, pageURL);
        }
        row.letGo(document);
    }
    return true;
}

void Crawl::Walk(Walker walker, platform::Document& document, const std::string& pageURL) {
    switch (walker) {
        case Walker::kImages:
            return CheckImages(document, pageURL);
        case Walker::kApplets:
            return CheckApplets(document, pageURL);
        case Walker::kScripts:
            return CheckScripts(document, pageURL);
        case Walker::kStyleSheets:
            return CheckStyleSheets(document, pageURL);
        case Walker::kLinks:
            return CheckHyperlinks(document, pageURL);
        case Walker::kFrames:
            return CheckFrames(document, pageURL);
        case Walker::kForms:
            return CheckForms(document, pageURL);
    }
}

bool Crawl::CheckLink(const std::string& url, int& loadTime, std::string* reason) {
    frontEnd_.SetCaption(CaptionControl::lblDocHref, url);
    if (LinkStatistics::IsValidLink(url)) {
        if (reason != nullptr) {
            *reason = LinkStatistics::ReasonOf(url);
        }
        return true;
    }
    const platform::Clock::TimePoint start = services_.clock.Now();
    const std::optional<std::uint64_t> mark = MarkRequests();
    const bool reachable = URLChecker::IsURLReachable(url, services_.sleeper, pump_);
    loadTime = LoadSeconds(mark, platform::ElapsedSeconds(start, services_.clock.Now()));
    NoteLoad(loadTime, start, URLChecker::LastProbeStatus());
    if (reason != nullptr) {
        *reason = ProbeReason(url, reachable);
    }
    return reachable;
}

void Crawl::RecordLinkResult(const std::string& url, const std::string& referrer, int linkStatus,
                             int loadTime, const std::string& reason) {
    const LoadFacts load = std::exchange(lastLoad_, {});
    switch (linkStatus) {
        case kLinkValid:
            ++state_.successfulCount;
            ShowCount(CaptionControl::lblNumSuccessfulLinks, state_.successfulCount);
            frontEnd_.AddToList(ListControl::lstGoodLinks, url);
            LinkStatistics::AddValidLink(url, loadTime, referrer, reason);
            break;
        case kLinkBroken:
            ++state_.brokenCount;
            ShowCount(CaptionControl::lblNumBrokenLinks, state_.brokenCount);
            frontEnd_.AddToList(ListControl::lstBrokenLinks, url + " <- " + referrer);
            LinkStatistics::AddBrokenLink(url, loadTime, referrer, reason);
            break;
        case kLinkSkipped:
            ++state_.skippedCount;
            ShowCount(CaptionControl::lblNumSkippedLinks, state_.skippedCount);
            frontEnd_.AddToList(ListControl::lstSkippedLinks, url + " <- " + referrer);
            LinkStatistics::AddSkippedLink(url, referrer, reason);
            LinkStatistics::SetVerdictDetails(url, {std::nullopt, 0, walkKind_});
            return;
        default:
            return;
    }
    LinkStatistics::SetVerdictDetails(url, {load.status, load.milliseconds, walkKind_});
}

bool Crawl::SeenBefore(const std::string& url) {
    return LinkStatistics::IsOpenPage(url) || LinkStatistics::IsValidLink(url) ||
           LinkStatistics::IsBrokenLink(url) || LinkStatistics::IsSkippedLink(url);
}

bool Crawl::SeenBeforeOn(const std::string& url, const std::string& pageURL) {
    if (!SeenBefore(url)) {
        return false;
    }
    LinkStatistics::AddFurtherReferrer(url, pageURL);
    return true;
}

bool Crawl::SkippedByUser(const std::string& url, const std::string& pageURL) {
    if (!services_.skip || !(*services_.skip)(url)) {
        return false;
    }
    RecordLinkResult(url, pageURL, kLinkSkipped, 0, kReasonSkipMatch);
    return true;
}

void Crawl::ShowCount(CaptionControl label, int count) {
    frontEnd_.SetCaption(label, std::to_string(count));
}

void Crawl::ShowDepth() {
    frontEnd_.SetCaption(CaptionControl::lblDepth, std::to_string(state_.currentDepth));
}

bool Crawl::WaitForPage(const std::function<bool()>& complete, platform::Completion& done) {
    const auto pumpThreeTimes = [this] {
        for (int i = 0; i < kPumpsPerPass; ++i) {
            pump_.PumpEvents();
        }
    };
    for (int passes = 0; !complete();) {
        pumpThreeTimes();
        if (++passes > state_.loadTimeOut) {
            break;
        }
        if (!state_.running) {
            return false;
        }
        services_.sleeper.SleepUntil(kWaitMilliseconds, done);
        pumpThreeTimes();
    }
    return true;
}

void Crawl::ObservedPump::PumpEvents() {
    crawl_.services_.pump.PumpEvents();
    if (crawl_.services_.lookAhead != nullptr) {
        crawl_.services_.lookAhead->SettingsChanged(crawl_.CurrentWalkSettings());
    }
}

WalkSettings Crawl::CurrentWalkSettings() {
    WalkSettings settings;
    settings.images = frontEnd_.Value(CheckControl::chkImages);
    settings.applets = frontEnd_.Value(CheckControl::chkApplets);
    settings.scriptsAndStyles = frontEnd_.Value(CheckControl::chkJSStyle);
    settings.links = frontEnd_.Value(CheckControl::chkLinks);
    settings.frames = frontEnd_.Value(CheckControl::chkFrames);
    settings.forms = frontEnd_.Value(CheckControl::chkForms);
    settings.maximumDepth = frontEnd_.MaximumDepth();
    settings.scope = VisitControl::CurrentScope();
    settings.running = state_.running;
    settings.requestTimeoutSeconds = state_.loadTimeOut;
    settings.skip = services_.skip;
    return settings;
}

std::optional<std::uint64_t> Crawl::MarkRequests() {
    if (services_.lookAhead == nullptr) {
        return std::nullopt;
    }
    return services_.lookAhead->MarkRequests();
}

void Crawl::NoteLoad(int loadTime, platform::Clock::TimePoint start, std::optional<int> status) {
    const auto measured =
        std::chrono::duration_cast<std::chrono::milliseconds>(services_.clock.Now() - start)
            .count();
    const bool sameLoad = measured >= 0 && measured / 1000 == loadTime;
    lastLoad_ = {status, sameLoad ? static_cast<int>(measured) : loadTime * 1000};
}

int Crawl::LoadSeconds(const std::optional<std::uint64_t>& mark, int measured) {
    if (mark && services_.lookAhead != nullptr) {
        if (const std::optional<int> served = services_.lookAhead->ServedSeconds(*mark)) {
            return *served;
        }
    }
    return measured;
}

}  // namespace quill
