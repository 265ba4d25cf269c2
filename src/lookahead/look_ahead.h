// The look-ahead: fetches what the walk will ask for before it asks, in the order it will ask,
// so that the walk's probes and page loads find their answers waiting. It is the transfer engine
// the walk's probe and browser start their requests through: a request it has fetched gets that
// answer, whatever it is (a status, a redirect, a failure), or joins the fetch on its way;
// anything else goes to the network as before. It never decides a verdict.
//
// It sees only platform interfaces: the network (a TransferEngine), a clock, a scratch file, and
// the web rules the live wiring gives it. The crawl tells it what the walk does (WalkObserver). Its
// bookkeeping runs on a thread of its own; the walk's calls only take a lock briefly.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "crawl/walk_observer.h"
#include "lookahead/answer_relay.h"
#include "lookahead/answer_store.h"
#include "lookahead/fetch_queue.h"
#include "lookahead/rehearsal.h"
#include "lookahead/web_rules.h"
#include "platform/clock.h"
#include "platform/scratch_file.h"
#include "platform/transfer_engine.h"

namespace quill {

struct LookAheadLimits {
    // Requests in flight in all and to one host, the walk's own included.
    int connections = 128;
    int connectionsPerHost = 32;
    // Answers held for the walk: their bodies, and a share for each answer.
    std::size_t maxBodyBytes = std::size_t{48} * 1024 * 1024;
    // A bigger page is not read ahead: the walk's own reading of it is planned, so that a huge
    // page is never held read twice.
    std::size_t largestPageReadAhead = std::size_t{4} * 1024 * 1024;
    // Fetches found far ahead that may be in flight beyond the budget: their answers tell the
    // rehearsal what lies ahead, and give way at once when there is no room for them.
    int scouts = 48;
};

class LookAhead final : public platform::TransferEngine,
                        public WalkObserver,
                        private lookahead::Rehearsal::Fetches {
  public:
    // What the look-ahead did in the current (or last) run.
    struct Counts {
        int fetched = 0;       // requests it sent
        int walkRequests = 0;  // requests the walk made during the run
        int served = 0;        // ... answered at once from a finished fetch
        int joined = 0;        // ... that joined a fetch on its way
        int own = 0;           // ... that went to the network themselves
    };

    // `network`, `clock`, `rules` and `aside` must outlive the look-ahead. Answers beyond the
    // budget are set aside in `aside`; without it, they are let go and fetched again.
    LookAhead(platform::TransferEngine& network, const platform::Clock& clock,
              const lookahead::WebRules& rules, LookAheadLimits limits = {},
              platform::ScratchFile* aside = nullptr);
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
    std::size_t HeldBytes() const;
    // Blocks until the look-ahead has taken in every answer and has nothing left it may fetch.
    void WaitUntilIdle();

  private:
    struct Mailbox;
    struct PlanJob {
        std::uint64_t generation = 0;
        std::string url;
        std::shared_ptr<platform::Transfer> answer;
        std::string pageURL;
        int depth = 0;
        WalkSettings settings;
        std::uint32_t settingsVersion = 0;
    };

    // --- Rehearsal::Fetches, under mutex_ ---
    lookahead::Fetch& Want(bool head, std::string_view url, const lookahead::Priority& priority,
                           bool afterProbe = false) override;
    lookahead::Fetch* Find(bool head, std::string_view url) override;
    void Refetch(lookahead::Fetch& page, bool afterProbe) override;
    void NeedPlan(lookahead::Fetch& page) override;
    void Passed(lookahead::Fetch& fetch) override;

    // --- under mutex_ ---
    void TakeSettings(const WalkSettings& settings);
    void ResetRun();
    void StopFetching();
    void WantPage(const lookahead::PlannedFetch& element, const lookahead::Priority& priority,
                  int depth, bool afterProbe);
    // Wants what a plan fetches, each at `place` with its position and step.
    void MergePlan(const lookahead::Plan& plan, std::int64_t band, std::int64_t major, int depth);
    // Has a fetched page worked out when it lies within the depth as first met.
    void PlanWhenWithinDepth(lookahead::Fetch& page);
    void Schedule();
    // Answers give way until `arriving` fits; those placed by the walk or the rehearsal wait for
    // room again.
    void MakeRoom(std::size_t arriving, const lookahead::Priority& than);
    void Send(lookahead::Fetch& fetch);
    void TakeFinished(const std::shared_ptr<platform::Transfer>& transfer);
    // Lets go of the answer once the walk has had every use of it, and of the fetch itself
    // when the rehearsal is past it too.
    void ReleaseWhenUsedUp(lookahead::Fetch& fetch);
    void ForgetWhenDone(lookahead::Fetch& fetch);
    std::size_t BytesArriving() const;
    bool IdleLocked() const;

    void Work();
    void WorkOutPlan(const PlanJob& job);

    platform::TransferEngine& network_;
    const platform::Clock& clock_;
    const lookahead::WebRules& rules_;
    const std::shared_ptr<Mailbox> mailbox_;
    const std::size_t largestPageReadAhead_;
    const int scouts_;

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    bool active_ = false;    // a run is on
    bool fetching_ = false;  // ... and the look-ahead may still send requests
    WalkSettings settings_;
    std::uint32_t settingsVersion_ = 0;
    std::uint64_t generation_ = 0;
    lookahead::AnswerStore store_;
    lookahead::FetchQueue queue_;
    lookahead::AnswerRelay relay_;
    lookahead::Rehearsal rehearsal_;
    std::unordered_map<const platform::Transfer*, lookahead::Fetch*> inFlight_;
    // Every host met in the run, held once for the fetches.
    std::unordered_set<std::string> hosts_;
    std::vector<PlanJob> planJobs_;
    int planning_ = 0;
    int scouting_ = 0;  // scouts in flight
    std::int64_t walkPages_ = 0;
    std::int64_t plansWorkedOut_ = 0;
    Counts counts_;

    std::thread worker_;
};

}  // namespace quill
