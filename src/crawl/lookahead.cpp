#include "crawl/lookahead.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>
#include <string_view>

#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/curl_url.h"
#include "platform/html_document_builder.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"
#include "probe/url_checker.h"

namespace quill {
namespace {

using platform::Transfer;
using platform::TransferRequest;

// A fetch that met a 429 or 503 is sent at most this often in all.
constexpr int kMaxAttempts = 3;
// Waited after a 429 or 503 without a usable Retry-After, and at most ever.
constexpr std::chrono::seconds kDefaultBackOff{1};
constexpr std::chrono::seconds kLongestBackOff{3600};
// The browser's page-load time-out, which the look-ahead's page requests share.
constexpr long kPageTimeoutSeconds = 60;

// Path elements after a link or frame's position: its probe, its page, then the page's own walk.
constexpr std::int64_t kProbeStep = 0;
constexpr std::int64_t kPageStep = 1;
constexpr std::int64_t kWalkStep = 2;
// Priorities before every path of the walk's order: what the walk is about to ask for, then what
// the rehearsal of its walk has come to.
constexpr std::int64_t kWalkNow = -2;
constexpr std::int64_t kRehearsed = -1;

// "scheme://host:port" as libcurl reads the URL; "" when it cannot.
std::string HostOf(const std::string& url) {
    platform::CurlUrl handle;
    if (!handle || handle.Set(CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return "";
    }
    return platform::AsciiLower(handle.Get(CURLUPART_SCHEME).value_or("") + "://" +
                                handle.Get(CURLUPART_HOST).value_or("") + ":" +
                                handle.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or(""));
}

bool IsRateLimited(const Transfer& answer) {
    const int status = answer.Status();
    return answer.HeadersReceived() && (status == 429 || status == 503);
}

// How long a 429 or 503 answer asks us to wait: its Retry-After in seconds or as a date.
std::chrono::seconds RetryAfter(const std::string& header) {
    std::size_t start = 0;
    std::string value;
    while (start < header.size()) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string line = header.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            platform::EqualsNoCase(platform::Trim(line.substr(0, colon)), "retry-after")) {
            value = platform::Trim(line.substr(colon + 1));
        }
        start = end + 1;
    }
    if (value.empty()) {
        return kDefaultBackOff;
    }
    if (value.find_first_not_of("0123456789") == std::string::npos) {
        if (value.size() > 6) {
            return kLongestBackOff;
        }
        return std::min(std::chrono::seconds(std::stol(value)), kLongestBackOff);
    }
    const time_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0) {
        return kDefaultBackOff;
    }
    const time_t now = std::time(nullptr);
    return std::clamp(std::chrono::seconds(when > now ? when - now : 0), std::chrono::seconds(0),
                      kLongestBackOff);
}

// Whether the look-ahead's answer may stand for the walk's request: a complete response that
// concurrency cannot have caused (no rate limit), that the walk's request would have got the same
// way (no redirect it would have followed) and in its time.
bool Answers(const Transfer& answer, const TransferRequest& asked) {
    if (!answer.Finished() || !answer.Error().empty() || !answer.HeadersReceived() ||
        IsRateLimited(answer)) {
        return false;
    }
    const int status = answer.Status();
    if (asked.followRedirects && !answer.Request().followRedirects && status >= 300 &&
        status < 400) {
        return false;
    }
    return asked.timeoutSeconds <= 0 ||
           answer.Duration() <= std::chrono::seconds(asked.timeoutSeconds);
}

// The key under which the walk's request may find a fetch of the look-ahead: the probe's HEAD
// and the browser's page GET; nothing for any other request.
std::optional<std::string> WalkKey(const TransferRequest& request) {
    const std::string method = platform::AsciiUpper(request.method);
    if (method == "HEAD" && !request.followRedirects) {
        return "HEAD " + request.url;
    }
    if (method == "GET" && request.followRedirects && request.htmlBodyOnly &&
        request.maxBodyBytes == platform::WebBrowser::kMaxHtmlBytes) {
        return "GET " + request.url;
    }
    return std::nullopt;
}

}  // namespace

// Where finished transfers and cancelled relays are posted, from any thread; the worker reads
// it. Shared with the callbacks, so that a transfer finishing after the look-ahead is gone
// posts into a closed box.
struct LookAhead::Mailbox {
    enum class Kind { kFinished, kRelayCancelled };
    struct Letter {
        Kind kind;
        std::shared_ptr<Transfer> transfer;
    };

    void Post(Letter letter) {
        {
            std::lock_guard lock(mutex);
            if (closed) {
                return;
            }
            letters.push_back(std::move(letter));
        }
        changed.notify_all();
    }

    void Poke() {
        {
            std::lock_guard lock(mutex);
            poked = true;
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Letter> letters;
    bool poked = false;
    // The worker is taking in what it took out of the box.
    bool busy = false;
    bool closed = false;
};

// One request the look-ahead sends (or has sent), by method and URL.
struct LookAhead::Entry {
    enum class State {
        kPending,   // planned, waiting for a connection
        kInFlight,  // sent
        kFinished,  // answered; `transfer` holds the answer
        kTaken,     // the walk asked before it was sent, and sent its own request
        kReleased,  // answered and let go (served probe, dropped body)
    };

    std::string method;
    std::string url;
    std::string host;
    Path priority;
    State state = State::kPending;
    bool queued = false;  // in its host's pending set
    std::shared_ptr<Transfer> transfer;
    int attempts = 0;
    std::size_t bodyBytes = 0;   // counted in heldBodyBytes_
    std::uint64_t servedAt = 0;  // 0 until the walk used it
    std::vector<std::shared_ptr<Relay>> joined;

    // What the answer means to the walk, kept when the answer itself is let go; nothing while it
    // is unknown. A probe: the status line is "200 OK". A page: the browser shows it under its
    // own address as an HTML document.
    std::optional<bool> probeOk;
    std::optional<bool> walkable;

    // The GET of a page the walk follows: its address as the walk shows it, its place and depth
    // in the walk as first met, and what its walk takes up, once worked out.
    bool isPage = false;
    std::string pageURL;
    Path pagePath;
    int pageDepth = 0;
    bool expansionQueued = false;
    bool expanded = false;
    std::shared_ptr<const std::vector<lookahead::PlannedFetch>> plan;
    WalkSettings planSettings;  // what the plan was worked out with
};

// One page of the rehearsed walk: its plan and how far the rehearsal has got in it.
struct LookAhead::RehearsalFrame {
    std::shared_ptr<const std::vector<lookahead::PlannedFetch>> plan;
    int depth = 0;
    std::size_t next = 0;
    // The element at `next` has been taken up and waits for its page's answers.
    bool waiting = false;
};

// A walk request that joined a fetch in flight: the walk holds `out`, which ends with the
// fetch's answer, or with the walk's own request's when that answer will not do.
struct LookAhead::Relay {
    TransferRequest request;
    std::shared_ptr<Transfer> out;
    std::shared_ptr<Transfer> own;
    std::shared_ptr<Transfer> servedBy;
    bool done = false;
};

struct LookAhead::Host {
    std::set<std::pair<Path, Entry*>> pending;
    int inFlight = 0;
    std::optional<platform::Clock::TimePoint> backOffUntil;
};

struct LookAhead::ParseJob {
    std::uint64_t generation = 0;
    std::string key;
    std::string body;
    std::string contentType;
    std::string pageURL;
    int depth = 0;
    WalkSettings settings;
};

namespace {

// The start page, as the one element of the page above it.
std::shared_ptr<const std::vector<lookahead::PlannedFetch>> StartPlan(const std::string& startURL) {
    lookahead::PlannedFetch start;
    start.kind = HoldsFragmentMark(startURL) ? lookahead::FetchKind::kUnprobedPage
                                             : lookahead::FetchKind::kPage;
    start.url = startURL;
    start.fetchURL = WithoutFragment(startURL);
    start.walked = true;
    return std::make_shared<const std::vector<lookahead::PlannedFetch>>(1, start);
}

}  // namespace

// A request the walk made since its mark: answered by a fetch, joined to one, or its own.
struct LookAhead::MeasuredRequest {
    std::shared_ptr<Transfer> served;
    std::shared_ptr<Relay> relay;
};

LookAhead::LookAhead(platform::TransferEngine& network, const platform::Clock& clock,
                     LookAheadLimits limits)
    : network_(network),
      clock_(clock),
      limits_(limits),
      mailbox_(std::make_shared<Mailbox>()),
      worker_(&LookAhead::Work, this) {}

LookAhead::~LookAhead() {
    {
        std::lock_guard lock(mutex_);
        ResetRun();
        active_ = false;
        fetching_ = false;
    }
    std::vector<Mailbox::Letter> unread;
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->closed = true;
        unread.swap(mailbox_->letters);
    }
    mailbox_->changed.notify_all();
    worker_.join();
}

TransferRequest LookAhead::PageRequest(const std::string& url) {
    TransferRequest request;
    request.url = url;
    request.method = "GET";
    request.followRedirects = false;
    request.maxRedirects = platform::WebBrowser::kMaxRedirects;
    request.timeoutSeconds = kPageTimeoutSeconds;
    request.maxBodyBytes = platform::WebBrowser::kMaxHtmlBytes;
    request.htmlBodyOnly = true;
    return request;
}

// --- the walk's requests ---------------------------------------------------------------------

std::shared_ptr<Transfer> LookAhead::Start(TransferRequest request) {
    bool tookPending = false;
    bool blocked = false;
    {
        std::lock_guard lock(mutex_);
        blocked = budgetBlocked_;
        if (active_) {
            ++counts_.walkRequests;
            const std::optional<std::string> key = WalkKey(request);
            const auto found = key ? entries_.find(*key) : entries_.end();
            Entry* entry = found != entries_.end() ? found->second.get() : nullptr;
            if (entry != nullptr) {
                walkPosition_ = std::max(walkPosition_, entry->priority);
                if (entry->state == Entry::State::kFinished && Answers(*entry->transfer, request)) {
                    ++counts_.served;
                    std::shared_ptr<Transfer> answer = entry->transfer;
                    entry->servedAt = ++servedSequence_;
                    if (entry->method == "HEAD") {
                        // The walk probes a URL once a run.
                        entry->transfer.reset();
                        entry->state = Entry::State::kReleased;
                    }
                    if (measuring_) {
                        measured_.push_back(MeasuredRequest{answer, nullptr});
                    }
                    if (blocked) {
                        mailbox_->Poke();  // bodies it has used may make room
                    }
                    return answer;
                }
                if (entry->state == Entry::State::kInFlight) {
                    ++counts_.joined;
                    auto relay = std::make_shared<Relay>();
                    relay->request = request;
                    relay->out = std::make_shared<Transfer>(request);
                    relay->out->MarkStarted(std::chrono::steady_clock::now());
                    std::weak_ptr<Transfer> weakOut = relay->out;
                    relay->out->SetCancelHook([mailbox = mailbox_, weakOut] {
                        if (std::shared_ptr<Transfer> out = weakOut.lock()) {
                            out->Finish(std::chrono::steady_clock::now(), "cancelled");
                            mailbox->Post({Mailbox::Kind::kRelayCancelled, out});
                        }
                    });
                    entry->joined.push_back(relay);
                    relaysByOut_[relay->out.get()] = relay;
                    if (measuring_) {
                        measured_.push_back(MeasuredRequest{nullptr, relay});
                    }
                    return relay->out;
                }
                if (entry->state == Entry::State::kPending) {
                    // Needed now: the walk's own request goes ahead of the queue.
                    if (entry->queued) {
                        hosts_[entry->host].pending.erase({entry->priority, entry});
                        entry->queued = false;
                        --pendingCount_;
                    }
                    entry->state = Entry::State::kTaken;
                    tookPending = true;
                }
            }
            ++counts_.own;
            if (measuring_) {
                measured_.push_back(MeasuredRequest{nullptr, nullptr});
            }
        }
    }
    if (tookPending) {
        idle_.notify_all();
    }
    return network_.Start(std::move(request));
}

void LookAhead::SetFileAccess(bool allowed) {
    network_.SetFileAccess(allowed);
}

bool LookAhead::FileAccess() const {
    return network_.FileAccess();
}

std::optional<long long> LookAhead::KnownContentLength(const std::string& url) const {
    return network_.KnownContentLength(url);
}

// --- what the walk tells ---------------------------------------------------------------------

void LookAhead::RunStarted(const std::string& startURL, const WalkSettings& settings) {
    {
        std::lock_guard lock(mutex_);
        ResetRun();
        counts_ = Counts{};
        active_ = true;
        fetching_ = settings.running;
        settings_ = settings;
        // The start page is visited at depth 1 with follow on: the element of a page at depth 0.
        const auto start = StartPlan(startURL);
        MergePlan(*start, {}, {}, 0);
        if (fetching_) {
            rehearsal_.push_back(RehearsalFrame{start, 0, 0, false});
        }
        Rehearse();
        // Sent at once: the walk asks for them next.
        Schedule();
    }
    mailbox_->Poke();
}

void LookAhead::PageWalked(const platform::Document& document, const std::string& pageURL,
                           int depth, const WalkSettings& settings,
                           const std::function<bool(const std::string&)>& seenBefore) {
    {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        if (!settings.running && fetching_) {
            StopFetching();
            idle_.notify_all();
        }
        if (!fetching_) {
            return;
        }
        // Nothing to add when the page was worked out already with the same settings: all it
        // fetches is wanted, and the rehearsal has put it in the walk's order.
        const auto found = entries_.find("GET " + WithoutFragment(pageURL));
        if (found != entries_.end() && found->second->plan &&
            found->second->planSettings == settings) {
            return;
        }
    }
    // Worked out on the walk's thread: the seen-before test reads the registry.
    std::vector<lookahead::PlannedFetch> plan;
    try {
        plan = lookahead::PlanPage(document, pageURL, depth, settings, seenBefore);
    } catch (...) {
        return;  // the walk goes on without help for this page
    }
    {
        std::lock_guard lock(mutex_);
        if (!fetching_) {
            return;
        }
        const auto found = entries_.find("GET " + WithoutFragment(pageURL));
        const Entry* page = found != entries_.end() ? found->second.get() : nullptr;
        const Path pagePath = page != nullptr && !page->pagePath.empty()
                                  ? page->pagePath
                                  : Path{std::numeric_limits<std::int64_t>::max()};
        // What the walk is about to ask for goes before anything else.
        MergePlan(plan, pagePath, {kWalkNow, ++walkPages_}, depth);
        Schedule();
    }
    mailbox_->Poke();
}

void LookAhead::SettingsChanged(const WalkSettings& settings) {
    bool stopped = false;
    {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        if (!settings.running && fetching_) {
            StopFetching();
            stopped = true;
        }
    }
    if (stopped) {
        idle_.notify_all();
    }
    // A changed depth, or a host's wait that is over by the clock, may let more go.
    mailbox_->Poke();
}

void LookAhead::RunEnded() {
    {
        std::lock_guard lock(mutex_);
        ResetRun();
        active_ = false;
        fetching_ = false;
    }
    idle_.notify_all();
}

std::uint64_t LookAhead::MarkRequests() {
    std::lock_guard lock(mutex_);
    measuring_ = true;
    measured_.clear();
    return ++mark_;
}

std::optional<int> LookAhead::ServedSeconds(std::uint64_t mark) {
    std::lock_guard lock(mutex_);
    if (!measuring_ || mark != mark_) {
        return std::nullopt;
    }
    measuring_ = false;
    std::vector<MeasuredRequest> requests;
    requests.swap(measured_);
    if (requests.empty()) {
        return std::nullopt;
    }
    std::chrono::steady_clock::duration total{};
    for (const MeasuredRequest& request : requests) {
        const std::shared_ptr<Transfer> served =
            request.relay ? (request.relay->done ? request.relay->servedBy : nullptr)
                          : request.served;
        if (!served) {
            return std::nullopt;  // the walk waited for a request of its own
        }
        total += served->Duration();
    }
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(total).count());
}

std::vector<std::string> LookAhead::QueueForTesting() const {
    std::lock_guard lock(mutex_);
    std::set<std::pair<Path, const Entry*>> queue;
    for (const auto& [name, host] : hosts_) {
        queue.insert(host.pending.begin(), host.pending.end());
    }
    std::vector<std::string> requests;
    for (const auto& [priority, entry] : queue) {
        requests.push_back(entry->method + " " + entry->url);
    }
    return requests;
}

LookAhead::Counts LookAhead::Statistics() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

void LookAhead::WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return IdleLocked(); });
}

bool LookAhead::IdleLocked() const {
    if (inFlightCount_ > 0 || parsing_ > 0) {
        return false;
    }
    return !fetching_ || pendingCount_ == 0 || (budgetBlocked_ && !backOffBlocked_);
}

// --- planning --------------------------------------------------------------------------------

void LookAhead::ResetRun() {
    for (auto& [transfer, entry] : inFlight_) {
        entry->transfer->Cancel();
    }
    const auto now = std::chrono::steady_clock::now();
    for (auto& [out, relay] : relaysByOut_) {
        relay->out->SetCancelHook(nullptr);
        relay->out->Finish(now, "cancelled");
        if (relay->own) {
            relay->own->Cancel();
        }
    }
    inFlight_.clear();
    relaysByOut_.clear();
    relaysByOwnRequest_.clear();
    entries_.clear();
    hosts_.clear();
    parseJobs_.clear();
    rehearsal_.clear();
    rehearsalMet_.clear();
    rehearsalLoaded_.clear();
    inFlightCount_ = 0;
    pendingCount_ = 0;
    parsing_ = 0;
    heldBodyBytes_ = 0;
    budgetBlocked_ = false;
    backOffBlocked_ = false;
    walkPosition_.clear();
    measuring_ = false;
    measured_.clear();
    ++generation_;
}

void LookAhead::StopFetching() {
    if (!fetching_) {
        return;
    }
    fetching_ = false;
    rehearsal_.clear();
    // Answers already here still serve the walk; nothing more is sent. Requests in flight end as
    // cancelled, and walk requests joined to them send their own.
    for (auto& [transfer, entry] : inFlight_) {
        entry->transfer->Cancel();
    }
    for (auto& [name, host] : hosts_) {
        for (const auto& [path, entry] : host.pending) {
            entry->queued = false;
            entry->state = Entry::State::kTaken;
        }
        host.pending.clear();
    }
    pendingCount_ = 0;
}

LookAhead::Entry& LookAhead::Want(const std::string& method, const std::string& url,
                                  const Path& priority) {
    std::unique_ptr<Entry>& slot = entries_[method + " " + url];
    if (!slot) {
        slot = std::make_unique<Entry>();
        slot->method = method;
        slot->url = url;
        slot->host = HostOf(url);
        slot->priority = priority;
        slot->queued = true;
        hosts_[slot->host].pending.insert({priority, slot.get()});
        ++pendingCount_;
        return *slot;
    }
    Entry& entry = *slot;
    if (priority < entry.priority) {
        if (entry.queued) {
            Host& host = hosts_[entry.host];
            host.pending.erase({entry.priority, &entry});
            host.pending.insert({priority, &entry});
        }
        entry.priority = priority;
    }
    return entry;
}

void LookAhead::WantPage(const std::string& fetchURL, const std::string& pageURL,
                         const Path& priority, const Path& pagePath, int depth) {
    Entry& entry = Want("GET", fetchURL, priority);
    entry.isPage = true;
    if (entry.pageURL.empty()) {
        entry.pageURL = pageURL;
    }
    // A page met again earlier in the order moves up, and may now lie within the depth; what its
    // walk fetches keeps the place it was given (the rehearsal puts the walk's next needs first).
    if (entry.pagePath.empty() || pagePath < entry.pagePath) {
        entry.pagePath = pagePath;
        entry.pageDepth = depth;
        QueueExpansion(entry, false);
    }
}

void LookAhead::MergePlan(const std::vector<lookahead::PlannedFetch>& plan, const Path& pagePath,
                          const Path& priorityPrefix, int pageDepth) {
    using lookahead::FetchKind;
    if (!fetching_) {
        return;
    }
    const Path& prefix = priorityPrefix.empty() ? pagePath : priorityPrefix;
    for (const lookahead::PlannedFetch& fetch : plan) {
        const auto step = [&fetch](const Path& base, std::int64_t last) {
            Path path = base;
            path.push_back(fetch.position);
            path.push_back(last);
            return path;
        };
        switch (fetch.kind) {
            case FetchKind::kProbe:
                Want("HEAD", fetch.fetchURL, step(prefix, kProbeStep));
                break;
            case FetchKind::kPage:
                Want("HEAD", fetch.fetchURL, step(prefix, kProbeStep));
                WantPage(fetch.fetchURL, fetch.url, step(prefix, kPageStep),
                         step(pagePath, kWalkStep), pageDepth + 1);
                break;
            case FetchKind::kUnprobedPage:
                WantPage(fetch.fetchURL, fetch.url, step(prefix, kPageStep),
                         step(pagePath, kWalkStep), pageDepth + 1);
                break;
            case FetchKind::kFragmentPage:
                Want("GET", fetch.fetchURL, step(prefix, kPageStep));
                break;
            case FetchKind::kRecordOnly:
                break;
        }
    }
}

void LookAhead::QueueExpansion(Entry& entry, bool forRehearsal) {
    if (!fetching_ || !entry.isPage || entry.expanded || entry.expansionQueued ||
        entry.state != Entry::State::kFinished || !entry.transfer || entry.walkable != true) {
        return;
    }
    const int depth = entry.pageDepth;
    if (!forRehearsal && !WithinMaximumDepth(depth, settings_.maximumDepth)) {
        return;
    }
    const Transfer& answer = *entry.transfer;
    auto job = std::make_unique<ParseJob>();
    job->generation = generation_;
    job->key = "GET " + entry.url;
    job->body = answer.Body();
    job->contentType = answer.ContentType();
    job->pageURL = entry.pageURL;
    job->depth = depth;
    job->settings = settings_;
    entry.expansionQueued = true;
    parseJobs_.push_back(std::move(job));
    ++parsing_;
}

LookAhead::Entry* LookAhead::Find(const std::string& method, const std::string& url) {
    const auto found = entries_.find(method + " " + url);
    return found != entries_.end() ? found->second.get() : nullptr;
}

// --- the rehearsal ---------------------------------------------------------------------------

// Walks the site as the walk will, on the answers that have arrived, and gives each request it
// comes to the next place in the queue, ahead of everything else: the walk will ask for them in
// this order. It stops at the first page whose answers are still due, and goes on when they come.
void LookAhead::Rehearse() {
    using lookahead::FetchKind;
    const auto next = [this] { return Path{kRehearsed, ++rehearsalOrder_}; };
    while (fetching_ && !rehearsal_.empty()) {
        RehearsalFrame& frame = rehearsal_.back();
        if (frame.next >= frame.plan->size()) {
            rehearsal_.pop_back();
            continue;
        }
        const lookahead::PlannedFetch& fetch = (*frame.plan)[frame.next];
        if (!frame.waiting) {
            // The walk's seen-before test: every URL it has recorded or has open.
            if (!rehearsalMet_.insert(fetch.url).second) {
                ++frame.next;
                continue;
            }
            switch (fetch.kind) {
                case FetchKind::kRecordOnly:
                    ++frame.next;
                    continue;
                case FetchKind::kProbe:
                    Want("HEAD", fetch.fetchURL, next());
                    ++frame.next;
                    continue;
                case FetchKind::kFragmentPage:
                    if (rehearsalLoaded_.insert(fetch.fetchURL).second) {
                        Want("GET", fetch.fetchURL, next());
                    }
                    ++frame.next;
                    continue;
                case FetchKind::kPage:
                    Want("HEAD", fetch.fetchURL, next());
                    [[fallthrough]];
                case FetchKind::kUnprobedPage: {
                    // Asked for together with the probe: the walk loads it at once when the
                    // probe is good.
                    Entry& page = Want("GET", fetch.fetchURL, next());
                    page.isPage = true;
                    if (page.pageURL.empty()) {
                        page.pageURL = fetch.url;
                    }
                    frame.waiting = true;
                    break;
                }
            }
        }
        std::shared_ptr<const std::vector<lookahead::PlannedFetch>> plan;
        const int depth = frame.depth + 1;
        const Rehearsal outcome = RehearsePage(fetch, depth, plan);
        if (outcome == Rehearsal::kWaiting) {
            return;
        }
        frame.waiting = false;
        ++frame.next;
        if (outcome == Rehearsal::kWalked) {
            rehearsal_.push_back(RehearsalFrame{std::move(plan), depth, 0, false});
        }
    }
}

LookAhead::Rehearsal LookAhead::RehearsePage(
    const lookahead::PlannedFetch& fetch, int depth,
    std::shared_ptr<const std::vector<lookahead::PlannedFetch>>& plan) {
    const auto due = [](const Entry& entry) {
        return entry.state == Entry::State::kPending || entry.state == Entry::State::kInFlight;
    };
    if (fetch.kind == lookahead::FetchKind::kPage) {
        const Entry* probe = Find("HEAD", fetch.fetchURL);
        if (probe == nullptr) {
            return Rehearsal::kNotWalked;
        }
        if (!probe->probeOk.has_value() && due(*probe)) {
            return Rehearsal::kWaiting;
        }
        // Without an answer we can read (the walk asked itself, or the host keeps refusing),
        // the page is taken to be good: its load decides.
        if (probe->probeOk == false) {
            return Rehearsal::kNotWalked;
        }
    }
    Entry* page = Find("GET", fetch.fetchURL);
    if (page == nullptr) {
        return Rehearsal::kNotWalked;
    }
    if (!page->walkable.has_value()) {
        // Not ours to know when the walk loads the page itself: its own walk plans it.
        return due(*page) ? Rehearsal::kWaiting : Rehearsal::kNotWalked;
    }
    if (!*page->walkable || !WithinMaximumDepth(depth, settings_.maximumDepth)) {
        return Rehearsal::kNotWalked;
    }
    if (page->plan) {
        plan = page->plan;
        return Rehearsal::kWalked;
    }
    if (!page->transfer) {
        return Rehearsal::kNotWalked;  // its body is gone
    }
    QueueExpansion(*page, true);
    return Rehearsal::kWaiting;
}

// --- fetching --------------------------------------------------------------------------------

void LookAhead::Schedule() {
    budgetBlocked_ = false;
    backOffBlocked_ = false;
    if (!fetching_) {
        return;
    }
    const int totalCap = std::max(1, limits_.connections - 1);
    const int hostCap = std::max(1, limits_.connectionsPerHost - 1);
    const platform::Clock::TimePoint now = clock_.Now();
    const std::size_t arriving = BodyBytesInFlight();
    if (heldBodyBytes_ + arriving >= limits_.maxBodyBytes) {
        EvictBodies(limits_.maxBodyBytes > arriving ? limits_.maxBodyBytes - arriving : 0);
    }
    const bool roomForBodies = heldBodyBytes_ + arriving < limits_.maxBodyBytes;
    while (inFlightCount_ < totalCap) {
        Entry* best = nullptr;
        for (auto& [name, host] : hosts_) {
            if (host.pending.empty() || host.inFlight >= hostCap) {
                continue;
            }
            if (host.backOffUntil && *host.backOffUntil > now) {
                backOffBlocked_ = true;
                continue;
            }
            Entry* candidate = nullptr;
            for (const auto& [path, entry] : host.pending) {
                if (roomForBodies || entry->method == "HEAD") {
                    candidate = entry;
                    break;
                }
                budgetBlocked_ = true;
            }
            if (candidate != nullptr && (best == nullptr || candidate->priority < best->priority)) {
                best = candidate;
            }
        }
        if (best == nullptr) {
            break;
        }
        StartFetch(*best);
    }
}

void LookAhead::StartFetch(Entry& entry) {
    Host& host = hosts_[entry.host];
    host.pending.erase({entry.priority, &entry});
    entry.queued = false;
    --pendingCount_;
    const TransferRequest request =
        entry.method == "HEAD" ? platform::EngineTransferControl::RequestFor(entry.url, "HEAD")
                               : PageRequest(entry.url);
    std::shared_ptr<Transfer> transfer = network_.Start(request);
    ++entry.attempts;
    ++counts_.fetched;
    entry.state = Entry::State::kInFlight;
    entry.transfer = transfer;
    inFlight_[transfer.get()] = &entry;
    ++inFlightCount_;
    ++host.inFlight;
    std::weak_ptr<Transfer> weak = transfer;
    transfer->WhenFinished([mailbox = mailbox_, weak] {
        if (std::shared_ptr<Transfer> finished = weak.lock()) {
            mailbox->Post({Mailbox::Kind::kFinished, finished});
        }
    });
}

void LookAhead::TakeFinished(const std::shared_ptr<Transfer>& transfer) {
    if (const auto own = relaysByOwnRequest_.find(transfer.get());
        own != relaysByOwnRequest_.end()) {
        const std::shared_ptr<Relay> relay = own->second;
        relaysByOwnRequest_.erase(own);
        FinishRelay(*relay, *transfer, /*ownRequest=*/true);
        return;
    }
    const auto found = inFlight_.find(transfer.get());
    if (found == inFlight_.end()) {
        return;  // from an earlier run, or let go
    }
    Entry& entry = *found->second;
    inFlight_.erase(found);
    --inFlightCount_;
    Host& host = hosts_[entry.host];
    --host.inFlight;
    entry.state = Entry::State::kFinished;
    if (entry.method == "GET") {
        entry.bodyBytes = transfer->BodySize();
        heldBodyBytes_ += entry.bodyBytes;
    }

    const bool limited = transfer->Error().empty() && IsRateLimited(*transfer);
    if (limited && fetching_) {
        const platform::Clock::TimePoint until =
            clock_.Now() + std::chrono::duration_cast<platform::Clock::TimePoint::duration>(
                               RetryAfter(transfer->Header()));
        host.backOffUntil = host.backOffUntil ? std::max(*host.backOffUntil, until) : until;
    }
    if (!limited) {
        if (entry.method == "HEAD") {
            entry.probeOk = Answers(*transfer, transfer->Request()) &&
                            URLChecker::MatchesOkStatusLine(transfer->Header());
        } else {
            entry.walkable = Answers(*transfer, transfer->Request()) && transfer->Status() < 300 &&
                             platform::IsHtmlContentType(transfer->ContentType());
        }
    }
    ResolveRelays(entry);
    if (limited && fetching_ && entry.attempts < kMaxAttempts) {
        // Asked again once the host allows it; meanwhile the walk sends its own.
        heldBodyBytes_ -= entry.bodyBytes;
        entry.bodyBytes = 0;
        entry.transfer.reset();
        entry.state = Entry::State::kPending;
        entry.queued = true;
        host.pending.insert({entry.priority, &entry});
        ++pendingCount_;
        ++counts_.retried;
        return;
    }
    QueueExpansion(entry, false);
}

void LookAhead::ResolveRelays(Entry& entry) {
    std::vector<std::shared_ptr<Relay>> joined;
    joined.swap(entry.joined);
    for (const std::shared_ptr<Relay>& relay : joined) {
        if (relay->done || relay->out->Finished()) {
            relay->done = true;
            relaysByOut_.erase(relay->out.get());
            continue;
        }
        if (Answers(*entry.transfer, relay->request)) {
            entry.servedAt = ++servedSequence_;
            relay->servedBy = entry.transfer;
            FinishRelay(*relay, *entry.transfer, /*ownRequest=*/false);
            continue;
        }
        relay->own = network_.Start(relay->request);
        relaysByOwnRequest_[relay->own.get()] = relay;
        std::weak_ptr<Transfer> weak = relay->own;
        relay->own->WhenFinished([mailbox = mailbox_, weak] {
            if (std::shared_ptr<Transfer> finished = weak.lock()) {
                mailbox->Post({Mailbox::Kind::kFinished, finished});
            }
        });
    }
}

void LookAhead::FinishRelay(Relay& relay, const Transfer& answer, bool ownRequest) {
    relay.out->SetCancelHook(nullptr);
    relay.out->FinishAsCopyOf(answer);
    relay.done = true;
    if (ownRequest) {
        relay.servedBy.reset();
    }
    relaysByOut_.erase(relay.out.get());
}

std::size_t LookAhead::BodyBytesInFlight() const {
    std::size_t bytes = 0;
    for (const auto& [transfer, entry] : inFlight_) {
        if (entry->method == "GET") {
            bytes += transfer->BodySize();
        }
    }
    return bytes;
}

void LookAhead::EvictBodies(std::size_t room) {
    // Bodies the walk has used go first, oldest use first; then those it has passed by.
    std::vector<Entry*> used;
    std::vector<Entry*> passed;
    for (auto& [key, slot] : entries_) {
        Entry* entry = slot.get();
        if (entry->state != Entry::State::kFinished || entry->bodyBytes == 0) {
            continue;
        }
        if (entry->servedAt > 0) {
            used.push_back(entry);
        } else if (entry->priority < walkPosition_) {
            passed.push_back(entry);
        }
    }
    std::sort(used.begin(), used.end(),
              [](const Entry* a, const Entry* b) { return a->servedAt < b->servedAt; });
    std::sort(passed.begin(), passed.end(),
              [](const Entry* a, const Entry* b) { return a->priority < b->priority; });
    used.insert(used.end(), passed.begin(), passed.end());
    for (Entry* entry : used) {
        if (heldBodyBytes_ < room) {
            break;
        }
        heldBodyBytes_ -= entry->bodyBytes;
        entry->bodyBytes = 0;
        entry->transfer.reset();
        entry->state = Entry::State::kReleased;
    }
}

std::optional<std::chrono::steady_clock::duration> LookAhead::NextBackOffEnd() const {
    if (!fetching_) {
        return std::nullopt;
    }
    std::optional<platform::Clock::TimePoint> next;
    const platform::Clock::TimePoint now = clock_.Now();
    for (const auto& [name, host] : hosts_) {
        if (!host.pending.empty() && host.backOffUntil && *host.backOffUntil > now) {
            next = next ? std::min(*next, *host.backOffUntil) : *host.backOffUntil;
        }
    }
    if (!next) {
        return std::nullopt;
    }
    return *next - now;
}

// --- the worker ------------------------------------------------------------------------------

void LookAhead::Work() {
    for (;;) {
        std::optional<std::chrono::steady_clock::duration> wait;
        {
            std::lock_guard lock(mutex_);
            wait = NextBackOffEnd();
        }
        std::vector<Mailbox::Letter> letters;
        {
            std::unique_lock lock(mailbox_->mutex);
            const auto ready = [this] {
                return mailbox_->closed || !mailbox_->letters.empty() || mailbox_->poked;
            };
            if (wait) {
                mailbox_->changed.wait_for(lock, *wait, ready);
            } else {
                mailbox_->changed.wait(lock, ready);
            }
            if (mailbox_->closed) {
                return;
            }
            letters.swap(mailbox_->letters);
            mailbox_->poked = false;
            mailbox_->busy = true;
        }

        std::vector<std::unique_ptr<ParseJob>> jobs;
        {
            std::lock_guard lock(mutex_);
            for (const Mailbox::Letter& letter : letters) {
                if (letter.kind == Mailbox::Kind::kFinished) {
                    TakeFinished(letter.transfer);
                } else if (const auto relay = relaysByOut_.find(letter.transfer.get());
                           relay != relaysByOut_.end()) {
                    // The walk let go of a joined request: its own request is not needed.
                    if (relay->second->own) {
                        relaysByOwnRequest_.erase(relay->second->own.get());
                        relay->second->own->Cancel();
                    }
                    relay->second->done = true;
                    relaysByOut_.erase(relay);
                }
            }
            jobs.swap(parseJobs_);
        }
        letters.clear();  // let go of the transfers outside the lock

        // Pages are worked out before the next requests go, so that what they hold takes its
        // place in the queue first.
        for (const std::unique_ptr<ParseJob>& job : jobs) {
            Parse(*job);
        }
        {
            std::lock_guard lock(mutex_);
            Rehearse();
            Schedule();
            // Pages that arrived at once (file: answers) and pages the rehearsal needs are worked
            // out in the next round.
            if (!parseJobs_.empty()) {
                mailbox_->Poke();
            }
        }
        {
            std::lock_guard lock(mailbox_->mutex);
            mailbox_->busy = false;
        }
        mailbox_->changed.notify_all();
        idle_.notify_all();
    }
}

void LookAhead::WaitUntilSettled() {
    std::unique_lock lock(mailbox_->mutex);
    mailbox_->changed.wait(lock, [this] {
        return mailbox_->closed ||
               (mailbox_->letters.empty() && !mailbox_->poked && !mailbox_->busy);
    });
}

void LookAhead::Parse(const ParseJob& job) {
    std::vector<lookahead::PlannedFetch> plan;
    bool parsed = false;
    try {
        const platform::Document document = platform::BuildHtmlDocument(
            platform::DecodeHtml(job.body, job.contentType), job.pageURL);
        // Seen-before: everything this look-ahead has planned is known by its own entries.
        plan = lookahead::PlanPage(document, job.pageURL, job.depth, job.settings, {});
        parsed = true;
    } catch (...) {
        // Not worked out: the walk of that page plans it when it gets there.
    }
    std::lock_guard lock(mutex_);
    if (job.generation != generation_) {
        return;
    }
    --parsing_;
    const auto found = entries_.find(job.key);
    if (found == entries_.end()) {
        return;
    }
    Entry& page = *found->second;
    page.expansionQueued = false;
    if (page.expanded) {
        return;
    }
    page.expanded = true;  // worked out once, well or not
    page.planSettings = job.settings;
    if (!parsed) {
        plan.clear();
    }
    page.plan = std::make_shared<const std::vector<lookahead::PlannedFetch>>(std::move(plan));
    if (WithinMaximumDepth(page.pageDepth, settings_.maximumDepth)) {
        MergePlan(*page.plan, page.pagePath, {}, page.pageDepth);
    }
}

}  // namespace quill
