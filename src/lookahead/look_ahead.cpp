#include "lookahead/look_ahead.h"

#include <chrono>
#include <utility>

#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "probe/url_checker.h"

namespace quill {

using lookahead::Fetch;
using lookahead::Priority;
using platform::Transfer;
using platform::TransferRequest;

// Where finished transfers and stand-ins the walk cancelled are posted, from any thread; the
// worker reads it. Shared with the callbacks, so that a transfer finishing after the look-ahead is
// gone posts into a closed box.
struct LookAhead::Mailbox {
    void Post(std::shared_ptr<Transfer> transfer) {
        {
            std::lock_guard lock(mutex);
            if (closed) {
                return;
            }
            letters.push_back(std::move(transfer));
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
    std::vector<std::shared_ptr<Transfer>> letters;
    bool poked = false;
    bool closed = false;
};

LookAhead::LookAhead(platform::TransferEngine& network, const platform::Clock& clock,
                     const lookahead::WebRules& rules, LookAheadLimits limits,
                     platform::ScratchFile* aside)
    : network_(network),
      clock_(clock),
      rules_(rules),
      mailbox_(std::make_shared<Mailbox>()),
      largestPageReadAhead_(limits.largestPageReadAhead),
      scouts_(limits.scouts),
      store_(limits.maxBodyBytes, aside),
      queue_(limits.connections, limits.connectionsPerHost),
      relay_([mailbox = mailbox_](std::shared_ptr<Transfer> transfer) {
          mailbox->Post(std::move(transfer));
      }),
      worker_(&LookAhead::Work, this) {}

LookAhead::~LookAhead() {
    {
        std::lock_guard lock(mutex_);
        ResetRun();
        active_ = false;
        fetching_ = false;
    }
    std::vector<std::shared_ptr<Transfer>> unread;
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->closed = true;
        unread.swap(mailbox_->letters);
    }
    mailbox_->changed.notify_all();
    worker_.join();
}

// --- the walk's requests ---------------------------------------------------------------------

std::shared_ptr<Transfer> LookAhead::Start(TransferRequest request) {
    {
        std::lock_guard lock(mutex_);
        if (active_) {
            ++counts_.walkRequests;
            // The probe's HEAD and the browser's page GET may find a fetch; nothing else.
            const bool probe = request.method == "HEAD" && !request.followRedirects;
            const bool page = request.method == "GET" && request.followRedirects;
            Fetch* fetch = probe || page ? store_.Find(probe, request.url) : nullptr;
            if (fetch != nullptr) {
                ++fetch->asked;
                store_.WalkReached(fetch->priority);
            }
            std::shared_ptr<Transfer> answer = fetch != nullptr ? store_.Answer(*fetch) : nullptr;
            if (answer && lookahead::AnswerServes(*answer, request)) {
                ++counts_.served;
                relay_.Served(answer);
                ++fetch->served;
                ReleaseWhenUsedUp(*fetch);  // the fetch may be gone after this
                mailbox_->Poke();           // which may make room for bodies
                return answer;
            }
            if (fetch != nullptr && fetch->state == Fetch::State::kInFlight) {
                ++counts_.joined;
                return relay_.Join(*fetch, std::move(request));
            }
            if (fetch != nullptr && fetch->state == Fetch::State::kPending && fetching_) {
                // Needed now: it goes ahead of the queue, and the walk joins it, so that what
                // it answers is worked out here as for any other fetch.
                queue_.SendingNow(*fetch);
                Send(*fetch);
                ++counts_.joined;
                return relay_.Join(*fetch, std::move(request));
            }
            ++counts_.own;
            relay_.Own();
        }
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
        TakeSettings(settings);
        if (fetching_) {
            rehearsal_.Start(startURL);
            rehearsal_.Run(*this, settings_.maximumDepth);
            Schedule();  // the walk asks for these next
        }
    }
    mailbox_->Poke();
}

void LookAhead::PageWalked(const platform::Document& document, const std::string& pageURL,
                           int depth, const WalkSettings& settings,
                           const std::function<bool(const std::string&)>& seenBefore) {
    {
        std::lock_guard lock(mutex_);
        TakeSettings(settings);
        if (!fetching_) {
            return;
        }
        // Nothing to add when the page was worked out already with these settings: all it
        // fetches is wanted, and the rehearsal puts it in the walk's order.
        const Fetch* page = store_.Find(false, WithoutFragment(pageURL));
        if (page != nullptr && page->planned && !page->leftToTheWalk &&
            page->planSettings == settingsVersion_) {
            return;
        }
    }
    // Worked out on the walk's thread: the seen-before test reads the registry.
    lookahead::Plan plan;
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
        // What the walk is about to ask for goes first, the newest page first.
        MergePlan(plan, Priority::kWalkNow, -(++walkPages_), depth);
        Schedule();
    }
    mailbox_->Poke();
}

void LookAhead::SettingsChanged(const WalkSettings& settings) {
    {
        std::lock_guard lock(mutex_);
        TakeSettings(settings);
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
    return relay_.Mark();
}

std::optional<int> LookAhead::ServedSeconds(std::uint64_t mark) {
    std::lock_guard lock(mutex_);
    return relay_.ServedSeconds(mark);
}

LookAhead::Counts LookAhead::Statistics() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

std::size_t LookAhead::HeldBytes() const {
    std::lock_guard lock(mutex_);
    return store_.HeldBytes();
}

void LookAhead::WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return IdleLocked(); });
}

bool LookAhead::IdleLocked() const {
    if (!inFlight_.empty() || planning_ > 0) {
        return false;
    }
    return !fetching_ || queue_.Waiting() == 0 ||
           (queue_.BlockedByBudget() && !queue_.BlockedByHoldBack());
}

// --- planning --------------------------------------------------------------------------------

void LookAhead::TakeSettings(const WalkSettings& settings) {
    if (!(settings == settings_)) {
        settings_ = settings;
        ++settingsVersion_;
    }
    if (!settings.running && fetching_) {
        StopFetching();
        idle_.notify_all();
    }
}

void LookAhead::ResetRun() {
    for (auto& [transfer, fetch] : inFlight_) {
        fetch->transfer->Cancel();
    }
    relay_.CancelAll();
    inFlight_.clear();
    scouting_ = 0;
    queue_.Clear();
    store_.Clear();
    hosts_.clear();
    planJobs_.clear();
    rehearsal_.Clear();
    planning_ = 0;
    ++generation_;
}

void LookAhead::StopFetching() {
    fetching_ = false;
    rehearsal_.Clear();
    // Answers already here still serve the walk; nothing more is sent. Requests in flight end as
    // cancelled, and walk requests joined to them send their own.
    for (auto& [transfer, fetch] : inFlight_) {
        fetch->transfer->Cancel();
    }
    for (Fetch* fetch : queue_.DropWaiting()) {
        fetch->state = Fetch::State::kTaken;
    }
}

Fetch& LookAhead::Want(bool head, std::string_view url, const Priority& priority, bool afterProbe) {
    const auto [fetch, made] = store_.FindOrAdd(head, url);
    if (made) {
        fetch->host = &*hosts_.insert(rules_.HostOf(fetch->url)).first;
        fetch->priority = priority;
        const Fetch* probe = afterProbe ? store_.Find(true, url) : nullptr;
        fetch->afterProbe = afterProbe && (probe == nullptr || probe->probeOk != true);
        if (afterProbe && probe != nullptr && probe->probeOk == false) {
            fetch->state = Fetch::State::kReleased;  // the walk does not load it
        }
    } else if (priority < fetch->priority) {
        store_.Reorder(*fetch, priority, counts_.walkRequests);
        queue_.Raise(*fetch, priority);
    } else if (!head && priority.band == Priority::kRehearsed && fetch->laterPlace == 0 &&
               fetch->priority < priority) {
        fetch->laterPlace = priority.major;  // a page's other use: walked, or read for fragments
    }
    if (!afterProbe) {
        fetch->afterProbe = false;  // also wanted without a probe
    }
    if (fetch->state == Fetch::State::kReleased && fetch->droppedForRoom &&
        priority.band < Priority::kAhead && fetch->asked < fetch->Uses()) {
        // Let go for room before the walk had it, and now placed by the walk or the rehearsal:
        // it is fetched again, when there is room.
        Refetch(*fetch, fetch->afterProbe);
    }
    if (fetch->state == Fetch::State::kPending && !fetch->afterProbe) {
        queue_.Add(*fetch);
    }
    return *fetch;
}

Fetch* LookAhead::Find(bool head, std::string_view url) {
    return store_.Find(head, url);
}

void LookAhead::Refetch(Fetch& page, bool afterProbe) {
    if (!fetching_ || page.state != Fetch::State::kReleased) {
        return;
    }
    page.state = Fetch::State::kPending;
    page.droppedForRoom = false;
    page.afterProbe = afterProbe;
    if (!afterProbe) {
        queue_.Add(page);
    }
}

void LookAhead::WantPage(const lookahead::PlannedFetch& element, const Priority& priority,
                         int depth, bool afterProbe) {
    Fetch& page = Want(false, element.FetchURL(), priority, afterProbe);
    page.isPage = true;
    if (!page.metAsPage || depth < page.pageDepth) {
        // Met nearer the top: it may now lie within the depth.
        page.MeetAsPage(page.metAsPage ? page.PageURL() : std::string(element.url), depth);
        PlanWhenWithinDepth(page);
    }
}

void LookAhead::MergePlan(const lookahead::Plan& plan, std::int64_t band, std::int64_t major,
                          int depth) {
    using lookahead::FetchKind;
    if (!fetching_) {
        return;
    }
    bool leadsDown = false;
    for (const lookahead::PlannedFetch element : plan) {
        if (band == Priority::kWalkNow && leadsDown) {
            // What follows the first page the walk goes down into waits for the walk's return,
            // far off on a big site: it is fetched as what lies ahead.
            band = Priority::kAhead;
            major = -(++plansWorkedOut_);
        }
        leadsDown = leadsDown || element.walked;
        if (band == Priority::kAhead && rehearsal_.Met(element.url)) {
            continue;  // placed by the rehearsal already
        }
        // The probe of an element goes before its page.
        const Priority probePlace{band, major, element.position * 2};
        const Priority pagePlace{band, major, element.position * 2 + 1};
        switch (element.kind) {
            case FetchKind::kProbe:
                Want(true, element.FetchURL(), probePlace);
                break;
            case FetchKind::kPage: {
                // Far ahead, the page goes without waiting for its probe: its answer tells the
                // rehearsal as much, a round trip sooner. The probe goes after every such page, or
                // once the rehearsal places it.
                const bool ahead = band == Priority::kAhead;
                Want(true, element.FetchURL(),
                     ahead ? Priority{Priority::kAheadProbes, major, element.position * 2}
                           : probePlace);
                WantPage(element, pagePlace, depth + 1, !ahead);
                break;
            }
            case FetchKind::kUnprobedPage:
                WantPage(element, pagePlace, depth + 1, false);
                break;
            case FetchKind::kFragmentPage:
                Want(false, element.FetchURL(), pagePlace).forFragments = true;
                break;
            case FetchKind::kRecordOnly:
                break;
        }
    }
}

void LookAhead::PlanWhenWithinDepth(Fetch& page) {
    if (WithinMaximumDepth(page.pageDepth, settings_.maximumDepth)) {
        NeedPlan(page);
    }
}

void LookAhead::NeedPlan(Fetch& page) {
    if (!fetching_ || !page.isPage || page.planned || page.planQueued || page.walkable != true) {
        return;
    }
    std::shared_ptr<Transfer> answer = store_.Answer(page);
    if (page.state == Fetch::State::kReleased) {
        Refetch(page, false);
        return;
    }
    if (!answer) {
        return;
    }
    if (answer->BodySize() > largestPageReadAhead_) {
        page.planned = true;  // the rehearsal goes past it; the walk's plan of it is merged
        page.leftToTheWalk = true;
        return;
    }
    planJobs_.push_back(PlanJob{generation_, page.url, std::move(answer), page.PageURL(),
                                page.pageDepth, settings_, settingsVersion_});
    page.planQueued = true;
    ++planning_;
}

// --- fetching --------------------------------------------------------------------------------

// What the answers in flight will take, scouts' included: counting them keeps room for the
// answers the rehearsal reads on its way.
std::size_t LookAhead::BytesArriving() const {
    std::size_t bytes = 0;
    for (const auto& [transfer, fetch] : inFlight_) {
        std::size_t body = 0;
        if (!fetch->head) {
            const std::optional<long long> length = transfer->ContentLength();
            const std::size_t announced =
                length && *length > 0 ? static_cast<std::size_t>(*length) : 0;
            body = std::max(transfer->BodySize(), announced);
        }
        bytes += lookahead::AnswerStore::Footprint(body);
    }
    return bytes;
}

void LookAhead::Schedule() {
    if (!fetching_) {
        return;
    }
    const platform::Clock::TimePoint now = clock_.Now();
    // A fetch goes when there is room for at least its answer's share: when its answer would have
    // to push out a better one, it waits. What is found far ahead of the walk never pushes out
    // answers the walk will need sooner (it would fetch them twice); without room, some of it
    // still goes as scouts, whose answers the rehearsal reads on its way and which then give way.
    std::size_t arriving = BytesArriving() + lookahead::AnswerStore::Footprint(0);
    if (const Fetch* next = queue_.BestWaiting();
        next != nullptr && next->priority.band < Priority::kAhead && !store_.Fits(arriving)) {
        MakeRoom(arriving, next->priority);
    }
    for (;;) {
        const bool fits = store_.Fits(arriving);
        // The probes of pages found ahead go only while the store is less than half full: on a
        // big site they would push out answers the walk needs sooner, and be fetched again.
        const std::int64_t lastBand = fits && store_.Fits(arriving + store_.Budget() / 2)
                                          ? Priority::kAheadProbes
                                          : Priority::kAhead;
        Fetch* fetch = queue_.Next(now, fits, scouting_ < scouts_, lastBand);
        if (fetch == nullptr) {
            break;
        }
        fetch->scout = !fits;
        scouting_ += fetch->scout ? 1 : 0;
        Send(*fetch);
        arriving = BytesArriving() + lookahead::AnswerStore::Footprint(0);
    }
}

void LookAhead::MakeRoom(std::size_t arriving, const Priority& than) {
    for (Fetch* fetch : store_.MakeRoom(arriving, than, counts_.walkRequests)) {
        // The walk has still to ask for what the rehearsal placed: it is fetched again when there
        // is room. What was found far ahead is let go.
        if (fetch->priority.band < Priority::kAhead) {
            Refetch(*fetch, false);
        }
    }
}

void LookAhead::Send(Fetch& fetch) {
    TransferRequest request =
        fetch.head ? rules_.ProbeRequest(fetch.url) : rules_.PageRequest(fetch.url);
    // Bounded as the walk's own request would be, so an answer that timed out serves the walk.
    if (settings_.requestTimeoutSeconds > 0) {
        request.timeoutSeconds = settings_.requestTimeoutSeconds;
    }
    std::shared_ptr<Transfer> transfer = network_.Start(request);
    ++counts_.fetched;
    fetch.state = Fetch::State::kInFlight;
    fetch.transfer = transfer;
    inFlight_[transfer.get()] = &fetch;
    std::weak_ptr<Transfer> weak = transfer;
    transfer->WhenFinished([mailbox = mailbox_, weak] {
        if (std::shared_ptr<Transfer> finished = weak.lock()) {
            mailbox->Post(finished);
        }
    });
}

void LookAhead::TakeFinished(const std::shared_ptr<Transfer>& transfer) {
    if (relay_.TakePosted(transfer)) {
        return;
    }
    const auto found = inFlight_.find(transfer.get());
    if (found == inFlight_.end()) {
        return;  // from an earlier run, or let go
    }
    Fetch& fetch = *found->second;
    inFlight_.erase(found);
    if (fetch.scout) {
        fetch.scout = false;
        --scouting_;
    }
    queue_.Ended(fetch);
    store_.Hold(fetch, counts_.walkRequests);

    if (!transfer->CancelRequested()) {
        if (fetch.head) {
            fetch.probeOk = URLChecker::MatchesOkStatusLine(transfer->Header());
        } else {
            fetch.walkable = rules_.ShowsPage(*transfer, fetch.PageURL());
        }
        const int status = transfer->Status();
        if (transfer->HeadersReceived() && (status == 429 || status == 503)) {
            queue_.HoldBack(
                *fetch.host,
                clock_.Now() + std::chrono::duration_cast<platform::Clock::TimePoint::duration>(
                                   rules_.RetryAfter(*transfer)));
        }
    }
    fetch.served += relay_.Resolve(fetch, network_);
    Fetch* page = fetch.head ? store_.Find(false, fetch.url) : nullptr;
    if (page != nullptr && page->afterProbe && fetch.probeOk == true) {
        page->afterProbe = false;  // the walk loads it next
        if (page->state == Fetch::State::kPending) {
            queue_.Add(*page);
        }
    }
    if (fetch.head && fetch.probeOk == false) {
        // The walk loads no page whose probe failed: it is not fetched, or its body let go.
        if (page != nullptr && page->isPage && !page->forFragments) {
            if (page->state == Fetch::State::kPending) {
                queue_.Remove(*page);
                page->state = Fetch::State::kReleased;
            } else if (page->state == Fetch::State::kFinished) {
                store_.Release(*page);
            }
        }
    }
    if (!fetch.head && fetch.transfer) {
        PlanWhenWithinDepth(fetch);  // the plan's job holds the answer it reads
    }
    // Within the budget: the worst answers give way, this one included (a scout's answer, as a
    // rule). Those placed by the walk or the rehearsal wait for room again, once each: one that
    // came bigger than it was counted could otherwise push itself out for ever.
    for (Fetch* gaveWay :
         store_.MakeRoom(0, Priority{Priority::kWalkNow - 1, 0, 0}, counts_.walkRequests)) {
        if (gaveWay->priority.band < Priority::kAhead && gaveWay->asked < gaveWay->Uses() &&
            !gaveWay->fetchedAgain) {
            gaveWay->fetchedAgain = true;
            Refetch(*gaveWay, false);
        }
    }
    ReleaseWhenUsedUp(fetch);
}

void LookAhead::ReleaseWhenUsedUp(Fetch& fetch) {
    if (fetch.state == Fetch::State::kFinished && fetch.served >= fetch.Uses()) {
        store_.Release(fetch);
    } else if (fetch.state == Fetch::State::kFinished && fetch.served > 0 &&
               fetch.laterPlace != 0) {
        // A page used once of twice waits at the place of its other use.
        const Priority later{Priority::kRehearsed, std::exchange(fetch.laterPlace, 0), 0};
        store_.Reorder(fetch, later, counts_.walkRequests);
        fetch.priority = later;
    }
    ForgetWhenDone(fetch);
}

void LookAhead::Passed(Fetch& fetch) {
    fetch.passed = true;
    ForgetWhenDone(fetch);
}

// A fetch that the walk has had all its uses of and that the rehearsal has gone past tells no one
// anything more: it goes, so that the look-ahead keeps little for every URL of a big site. The
// rehearsal's URLs met keep it from being wanted again.
void LookAhead::ForgetWhenDone(Fetch& fetch) {
    if (fetch.passed && fetch.state == Fetch::State::kReleased && fetch.served >= fetch.Uses() &&
        !fetch.plan && !fetch.planQueued) {
        store_.Forget(fetch);
    }
}

// --- the worker ------------------------------------------------------------------------------

void LookAhead::Work() {
    for (;;) {
        std::optional<platform::Clock::TimePoint> holdBackEnd;
        platform::Clock::TimePoint now;
        {
            std::lock_guard lock(mutex_);
            now = clock_.Now();
            holdBackEnd = fetching_ ? queue_.NextHoldBackEnd(now) : std::nullopt;
        }
        std::vector<std::shared_ptr<Transfer>> letters;
        {
            std::unique_lock lock(mailbox_->mutex);
            const auto ready = [this] {
                return mailbox_->closed || !mailbox_->letters.empty() || mailbox_->poked;
            };
            if (holdBackEnd) {
                mailbox_->changed.wait_for(lock, *holdBackEnd - now, ready);
            } else {
                mailbox_->changed.wait(lock, ready);
            }
            if (mailbox_->closed) {
                return;
            }
            letters.swap(mailbox_->letters);
            mailbox_->poked = false;
        }

        std::vector<PlanJob> jobs;
        {
            std::lock_guard lock(mutex_);
            for (const std::shared_ptr<Transfer>& letter : letters) {
                TakeFinished(letter);
            }
            jobs.swap(planJobs_);
        }
        letters.clear();  // let go of the transfers outside the lock

        // Pages are worked out before the next requests go, so that what they hold takes its
        // place in the queue first.
        for (const PlanJob& job : jobs) {
            WorkOutPlan(job);
        }
        jobs.clear();  // and the answers they read with them
        {
            std::lock_guard lock(mutex_);
            rehearsal_.Run(*this, settings_.maximumDepth);
            Schedule();
            // Pages that arrived at once (file: answers) and pages the rehearsal needs are worked
            // out in the next round.
            if (!planJobs_.empty()) {
                mailbox_->Poke();
            }
        }
        idle_.notify_all();
    }
}

void LookAhead::WorkOutPlan(const PlanJob& job) {
    lookahead::Plan plan;
    bool worked = false;
    try {
        if (const std::shared_ptr<const platform::Document> document =
                rules_.ReadPage(*job.answer, job.pageURL)) {
            // Seen-before: what this look-ahead has wanted it knows by its own fetches.
            plan = lookahead::PlanPage(*document, job.pageURL, job.depth, job.settings, {});
            worked = true;
        }
    } catch (...) {
        // Not worked out: the walk of that page plans it when it gets there.
    }
    std::lock_guard lock(mutex_);
    if (job.generation != generation_) {
        return;
    }
    --planning_;
    Fetch* page = store_.Find(false, job.url);
    if (page == nullptr) {
        return;
    }
    page->planQueued = false;
    if (page->planned) {
        return;
    }
    page->planned = true;  // worked out once, well or not
    page->planSettings = job.settingsVersion;
    if (!worked) {
        return;
    }
    if (WithinMaximumDepth(page->pageDepth, settings_.maximumDepth)) {
        MergePlan(plan, Priority::kAhead, -(++plansWorkedOut_), page->pageDepth);
    }
    page->plan = std::make_unique<const lookahead::PackedPlan>(plan);
}

}  // namespace quill
