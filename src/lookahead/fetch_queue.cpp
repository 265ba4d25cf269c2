#include "lookahead/fetch_queue.h"

#include <algorithm>
#include <climits>

namespace quill::lookahead {

FetchQueue::FetchQueue(int connections, int connectionsPerHost)
    : totalCap_(std::max(1, connections - 1)), hostCap_(std::max(1, connectionsPerHost - 1)) {}

FetchQueue::Host& FetchQueue::HostOf(const Fetch& fetch) {
    const auto found = hosts_.find(*fetch.host);
    return found != hosts_.end() ? found->second : hosts_[*fetch.host];
}

void FetchQueue::Add(Fetch& fetch) {
    if (fetch.queued) {
        return;
    }
    Host& host = HostOf(fetch);
    host.For(fetch).insert({fetch.priority, &fetch});
    fetch.queued = true;
    ++waiting_;
}

void FetchQueue::Raise(Fetch& fetch, const Priority& priority) {
    if (!(priority < fetch.priority)) {
        return;
    }
    if (fetch.queued) {
        Host& host = HostOf(fetch);
        host.For(fetch).erase({fetch.priority, &fetch});
        host.For(fetch).insert({priority, &fetch});
    }
    fetch.priority = priority;
}

void FetchQueue::Remove(Fetch& fetch) {
    if (!fetch.queued) {
        return;
    }
    Host& host = HostOf(fetch);
    host.For(fetch).erase({fetch.priority, &fetch});
    fetch.queued = false;
    --waiting_;
}

void FetchQueue::SendingNow(Fetch& fetch) {
    Remove(fetch);
    ++HostOf(fetch).inFlight;
    ++inFlight_;
}

Fetch* FetchQueue::Next(TimePoint now, bool answersFit, bool scoutMayGo, std::int64_t lastBand) {
    budgetBlocked_ = false;
    holdBackBlocked_ = false;
    if (inFlight_ >= totalCap_) {
        return nullptr;
    }
    Host* bestHost = nullptr;
    Fetch* best = nullptr;
    for (auto& [name, host] : hosts_) {
        if (host.Empty() || host.inFlight >= hostCap_) {
            continue;
        }
        if (host.holdBackUntil && *host.holdBackUntil > now) {
            holdBackBlocked_ = true;
            continue;
        }
        // Without room for answers, only a scout may go: the best fetch found far ahead.
        const Priority from = answersFit ? Priority{Priority::kWalkNow, INT64_MIN, INT32_MIN}
                                         : Priority{Priority::kAhead, INT64_MIN, INT32_MIN};
        if (!answersFit) {
            budgetBlocked_ = true;
            if (!scoutMayGo) {
                continue;
            }
        }
        Fetch* candidate = nullptr;
        for (const auto* waiting : {&host.probes, &host.pages}) {
            const auto first = waiting->lower_bound({from, nullptr});
            if (first != waiting->end() && first->second->priority.band <= lastBand &&
                (candidate == nullptr || first->second->priority < candidate->priority)) {
                candidate = first->second;
            }
        }
        if (candidate != nullptr && (best == nullptr || candidate->priority < best->priority)) {
            best = candidate;
            bestHost = &host;
        }
    }
    if (best == nullptr) {
        return nullptr;
    }
    bestHost->For(*best).erase({best->priority, best});
    best->queued = false;
    --waiting_;
    ++bestHost->inFlight;
    ++inFlight_;
    return best;
}

const Fetch* FetchQueue::BestWaiting() const {
    const Fetch* best = nullptr;
    for (const auto& [name, host] : hosts_) {
        for (const auto* waiting : {&host.probes, &host.pages}) {
            if (!waiting->empty() &&
                (best == nullptr || waiting->begin()->first < best->priority)) {
                best = waiting->begin()->second;
            }
        }
    }
    return best;
}

void FetchQueue::Ended(const Fetch& fetch) {
    --HostOf(fetch).inFlight;
    --inFlight_;
}

void FetchQueue::HoldBack(const std::string& host, TimePoint until) {
    std::optional<TimePoint>& current = hosts_[host].holdBackUntil;
    current = current ? std::max(*current, until) : until;
}

std::optional<FetchQueue::TimePoint> FetchQueue::NextHoldBackEnd(TimePoint now) const {
    std::optional<TimePoint> next;
    for (const auto& [name, host] : hosts_) {
        if (!host.Empty() && host.holdBackUntil && *host.holdBackUntil > now) {
            next = next ? std::min(*next, *host.holdBackUntil) : *host.holdBackUntil;
        }
    }
    return next;
}

std::vector<const Fetch*> FetchQueue::InOrder() const {
    std::set<std::pair<Priority, const Fetch*>> all;
    for (const auto& [name, host] : hosts_) {
        all.insert(host.probes.begin(), host.probes.end());
        all.insert(host.pages.begin(), host.pages.end());
    }
    std::vector<const Fetch*> fetches;
    for (const auto& [priority, fetch] : all) {
        fetches.push_back(fetch);
    }
    return fetches;
}

std::vector<Fetch*> FetchQueue::DropWaiting() {
    std::vector<Fetch*> dropped;
    for (auto& [name, host] : hosts_) {
        for (auto* waiting : {&host.probes, &host.pages}) {
            for (const auto& [priority, fetch] : *waiting) {
                fetch->queued = false;
                dropped.push_back(fetch);
            }
            waiting->clear();
        }
    }
    waiting_ = 0;
    return dropped;
}

void FetchQueue::Clear() {
    for (auto& [name, host] : hosts_) {
        for (const auto* waiting : {&host.probes, &host.pages}) {
            for (const auto& [priority, fetch] : *waiting) {
                fetch->queued = false;
            }
        }
    }
    hosts_.clear();
    waiting_ = 0;
    inFlight_ = 0;
    budgetBlocked_ = false;
    holdBackBlocked_ = false;
}

}  // namespace quill::lookahead
