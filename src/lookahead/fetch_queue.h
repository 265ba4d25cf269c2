// Which fetch goes next: the waiting fetches by host in priority order, sent within the connection
// limits (in all and per host) and not to a host before the time its Retry-After named.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "lookahead/fetch.h"

namespace quill::lookahead {

class FetchQueue {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // One connection of each limit is left to the walk's own requests when there is more than one.
    FetchQueue(int connections, int connectionsPerHost);

    void Add(Fetch& fetch);
    // Moves a fetch to a better place; a worse one is ignored.
    void Raise(Fetch& fetch, const Priority& priority);
    void Remove(Fetch& fetch);
    // The fetch goes now, out of turn and beyond the limits: the walk needs it. It counts as in
    // flight.
    void SendingNow(Fetch& fetch);

    // Takes the next fetch that may go now, counted as in flight; null when none may. While
    // `answersFit` is false, only a scout goes, when `scoutMayGo`: a fetch found far ahead. No
    // fetch of a band after `lastBand` goes.
    Fetch* Next(TimePoint now, bool answersFit, bool scoutMayGo = false,
                std::int64_t lastBand = Priority::kAheadProbes);
    // The best fetch waiting to go; null when none.
    const Fetch* BestWaiting() const;
    // A fetch counted by Next has ended.
    void Ended(const Fetch& fetch);
    void HoldBack(const std::string& host, TimePoint until);
    // When the first host held back with fetches waiting may go again.
    std::optional<TimePoint> NextHoldBackEnd(TimePoint now) const;

    int Waiting() const { return waiting_; }
    int InFlight() const { return inFlight_; }
    // The last Next left fetches waiting for want of room for bodies, or for a host's wait.
    bool BlockedByBudget() const { return budgetBlocked_; }
    bool BlockedByHoldBack() const { return holdBackBlocked_; }
    // Every waiting fetch, first to go first.
    std::vector<const Fetch*> InOrder() const;
    // Takes every waiting fetch out of the queue; those in flight stay counted.
    std::vector<Fetch*> DropWaiting();
    void Clear();

  private:
    struct Host {
        // Probes and pages apart, each in its order.
        std::set<std::pair<Priority, Fetch*>> probes;
        std::set<std::pair<Priority, Fetch*>> pages;
        std::set<std::pair<Priority, Fetch*>>& For(const Fetch& fetch) {
            return fetch.head ? probes : pages;
        }
        bool Empty() const { return probes.empty() && pages.empty(); }
        int inFlight = 0;
        std::optional<TimePoint> holdBackUntil;
    };

    const int totalCap_;
    const int hostCap_;
    Host& HostOf(const Fetch& fetch);

    std::map<std::string, Host, std::less<>> hosts_;
    int waiting_ = 0;
    int inFlight_ = 0;
    bool budgetBlocked_ = false;
    bool holdBackBlocked_ = false;
};

}  // namespace quill::lookahead
