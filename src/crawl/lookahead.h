// The look-ahead: a concurrent crawl that runs ahead of the walk and fetches what the walk will
// ask for, in the order it will ask (depth first), so that the walk's probes and page loads find
// their answers waiting. It rehearses the walk on the answers that have arrived, so that what
// the walk needs next goes first, and fetches everything else it finds within the scope and the
// depth meanwhile. It is the transfer engine the walk's probe and browser start their
// requests through: a request that matches one it fetched gets that answer, or joins it while it
// is in flight; anything else goes to the network as before. It never decides a verdict: an
// answer it cannot vouch for (429, 503, a redirect the walk would follow, no response) makes the
// walk's request go to the network itself.
//
// LiveComponents owns one and wires it in; the crawl tells it what the walk does (WalkObserver).
// Its bookkeeping runs on one thread of its own; the walk's calls only take a lock briefly.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "crawl/lookahead_plan.h"
#include "crawl/walk_observer.h"
#include "platform/clock.h"
#include "platform/transfer_engine.h"

namespace quill {

struct LookAheadLimits {
    // Requests the look-ahead keeps in flight in all and to one host. One connection of each is
    // left to the walk's own requests when there is more than one.
    int connections = 128;
    int connectionsPerHost = 32;
    // Page bodies held for the walk; past it, bodies the walk has used or passed are dropped and
    // no further page is fetched until there is room.
    std::size_t maxBodyBytes = std::size_t{256} * 1024 * 1024;
};

class LookAhead final : public platform::TransferEngine, public WalkObserver {
  public:
    // What the look-ahead did in the current (or last) run, for tests and diagnostics.
    struct Counts {
        int fetched = 0;       // requests it sent
        int walkRequests = 0;  // requests the walk made during the run
        int served = 0;        // ... answered at once from a finished fetch
        int joined = 0;        // ... that joined a fetch in flight
        int own = 0;           // ... that went to the network themselves
        int retried = 0;       // fetches sent again after a 429 or 503
    };

    // `network` and `clock` must outlive the look-ahead.
    LookAhead(platform::TransferEngine& network, const platform::Clock& clock,
              LookAheadLimits limits = {});
    ~LookAhead() override;

    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    // --- TransferEngine: the walk's requests ---
    std::shared_ptr<platform::Transfer> Start(platform::TransferRequest request) override;
    void SetFileAccess(bool allowed) override;
    bool FileAccess() const override;
    std::optional<long long> KnownContentLength(const std::string& url) const override;

    // --- WalkObserver ---
    void RunStarted(const std::string& startURL, const WalkSettings& settings) override;
    void PageWalked(const platform::Document& document, const std::string& pageURL, int depth,
                    const WalkSettings& settings,
                    const std::function<bool(const std::string&)>& seenBefore) override;
    void SettingsChanged(const WalkSettings& settings) override;
    void RunEnded() override;
    std::uint64_t MarkRequests() override;
    std::optional<int> ServedSeconds(std::uint64_t mark) override;

    Counts Statistics() const;
    // Blocks until the look-ahead has taken in every answer and has nothing left to fetch (or
    // has stopped); fetches held back by a Retry-After are waited for. For tests.
    void WaitUntilIdle();
    // Blocks until the look-ahead has taken in everything posted to it so far and sent what it can;
    // requests may still be in flight. For tests.
    void WaitUntilSettled();
    // The requests waiting to be sent, as "METHOD url", first to go first. For tests.
    std::vector<std::string> QueueForTesting() const;

    // The GET the look-ahead sends for a page. Unlike the browser's, it does not follow
    // redirects: a redirected page is broken for the walk, and its target is none of our business.
    static platform::TransferRequest PageRequest(const std::string& url);

  private:
    using Path = std::vector<std::int64_t>;
    struct Entry;
    struct Relay;
    struct Host;
    struct Mailbox;
    struct ParseJob;
    struct MeasuredRequest;
    struct RehearsalFrame;
    enum class Rehearsal { kWaiting, kNotWalked, kWalked };

    // --- under mutex_ ---
    void ResetRun();
    void StopFetching();
    Entry& Want(const std::string& method, const std::string& url, const Path& priority);
    void WantPage(const std::string& fetchURL, const std::string& pageURL, const Path& priority,
                  const Path& pagePath, int depth);
    // Wants what a plan fetches: its pages' places in the order below pagePath (at pageDepth),
    // its requests' priorities below priorityPrefix (pagePath when empty).
    void MergePlan(const std::vector<lookahead::PlannedFetch>& plan, const Path& pagePath,
                   const Path& priorityPrefix, int pageDepth);
    // Has a fetched page worked out: within the depth as first met, or because the rehearsal
    // needs it.
    void QueueExpansion(Entry& entry, bool forRehearsal);
    void Rehearse();
    Rehearsal RehearsePage(const lookahead::PlannedFetch& fetch, int depth,
                           std::shared_ptr<const std::vector<lookahead::PlannedFetch>>& plan);
    Entry* Find(const std::string& method, const std::string& url);
    void Schedule();
    void StartFetch(Entry& entry);
    void TakeFinished(const std::shared_ptr<platform::Transfer>& transfer);
    void FinishRelay(Relay& relay, const platform::Transfer& answer, bool ownRequest);
    void ResolveRelays(Entry& entry);
    // Lets go of bodies until those held and those arriving fit in `room`.
    void EvictBodies(std::size_t room);
    std::size_t BodyBytesInFlight() const;
    std::optional<std::chrono::steady_clock::duration> NextBackOffEnd() const;
    bool IdleLocked() const;

    void Work();
    void Parse(const ParseJob& job);

    platform::TransferEngine& network_;
    const platform::Clock& clock_;
    const LookAheadLimits limits_;
    const std::shared_ptr<Mailbox> mailbox_;

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    bool active_ = false;    // a run is on
    bool fetching_ = false;  // ... and the look-ahead may still send requests
    WalkSettings settings_;
    std::uint64_t generation_ = 0;
    std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
    std::map<std::string, Host> hosts_;
    std::unordered_map<const platform::Transfer*, Entry*> inFlight_;
    // Joined walk requests by the transfer the walk holds, and by their own request once sent.
    std::unordered_map<const platform::Transfer*, std::shared_ptr<Relay>> relaysByOut_;
    std::unordered_map<const platform::Transfer*, std::shared_ptr<Relay>> relaysByOwnRequest_;
    std::vector<std::unique_ptr<ParseJob>> parseJobs_;
    // The rehearsal of the walk: the pages it is in, the URLs it has met, the pages it has loaded
    // for fragments, and the last place in the order it gave.
    std::vector<RehearsalFrame> rehearsal_;
    std::unordered_set<std::string> rehearsalMet_;
    std::unordered_set<std::string> rehearsalLoaded_;
    std::int64_t rehearsalOrder_ = 0;
    std::int64_t walkPages_ = 0;
    int inFlightCount_ = 0;
    int pendingCount_ = 0;
    int parsing_ = 0;
    // Schedule found pending fetches it could not send: no room for bodies, or a host asked us
    // to wait.
    bool budgetBlocked_ = false;
    bool backOffBlocked_ = false;
    std::size_t heldBodyBytes_ = 0;
    std::uint64_t servedSequence_ = 0;
    // The furthest point of the walk, by the priority of the fetches it has asked for.
    Path walkPosition_;
    bool measuring_ = false;
    std::uint64_t mark_ = 0;
    std::vector<MeasuredRequest> measured_;
    Counts counts_;

    std::thread worker_;
};

}  // namespace quill
