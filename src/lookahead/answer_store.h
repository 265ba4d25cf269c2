// Holds the look-ahead's fetches by kind and URL, and their answers within a budget: an answer is
// let go once the walk has it, and when room is needed the answer furthest from the walk goes
// first. An answer counts its body (probes have none) and a share for the answer itself; short of
// room, answers are packed, and then set aside in a scratch file, before any is let go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lookahead/fetch.h"
#include "platform/scratch_file.h"

namespace quill::lookahead {

class AnswerStore {
  public:
    // Without a scratch file, answers are let go where they would be set aside.
    explicit AnswerStore(std::size_t maxBodyBytes, platform::ScratchFile* aside = nullptr)
        : maxBodyBytes_(maxBodyBytes), aside_(aside) {}

    Fetch* Find(bool head, std::string_view url);
    // The fetch for this request, made when it is new (second: made now).
    std::pair<Fetch*, bool> FindOrAdd(bool head, std::string_view url);

    // The fetch has its answer, when the walk has made `walkRequests` requests: it counts from
    // now on.
    void Hold(Fetch& fetch, std::uint32_t walkRequests);
    // The answer of a finished fetch, wherever it is held. One set aside that cannot be read back
    // is let go, as if for room: null.
    std::shared_ptr<platform::Transfer> Answer(Fetch& fetch);
    // Lets go of the answer; what it meant to the walk stays.
    void Release(Fetch& fetch);
    // Drops the released fetch itself.
    void Forget(Fetch& fetch);
    // A held answer is re-sorted under its new place in the order (a better one, or the place of
    // a page's later use), when the walk has made `walkRequests` requests: it counts its time from
    // then on, as one wanted again. The caller sets fetch.priority afterwards (the fetch queue
    // re-sorts by the old one).
    void Reorder(Fetch& fetch, const Priority& priority, std::uint32_t walkRequests);

    // What an answer counts against the budget: its body, and about what the answer itself takes
    // (its request, header lines and bookkeeping).
    static std::size_t Footprint(std::size_t bodyBytes) { return bodyBytes + kPerAnswer; }
    static constexpr std::size_t kPerAnswer = 1024;
    // A packed answer counts what it takes and its places in the store's orders.
    static constexpr std::size_t kPerPacked = 128;

    // Answers held and `arriving` stay within the budget.
    bool Fits(std::size_t arriving) const { return heldBytes_ + arriving <= maxBodyBytes_; }
    // The walk has asked for a URL fetched at this place: places before it in the order are
    // behind the walk.
    void WalkReached(const Priority& place);

    // Packs the answers held, worst first; then lets go of answers the walk went past, then sets
    // aside (or, failing that, lets go of) answers placed after `than`, worst first, until
    // `arriving` fits as well. Returns those let go for a better one.
    std::vector<Fetch*> MakeRoom(std::size_t arriving, const Priority& than,
                                 std::uint32_t walkRequests);
    std::size_t HeldBytes() const { return heldBytes_; }
    std::size_t Budget() const { return maxBodyBytes_; }
    void Clear();

  private:
    using ByURL = std::unordered_map<std::string_view, std::unique_ptr<Fetch>>;
    ByURL& For(bool head) { return head ? probes_ : pages_; }
    bool BehindWalk(const Priority& place) const;
    void Pack(Fetch& fetch);
    bool SetAside(Fetch& fetch);
    // Takes a held answer out of the store's orders and its count.
    void Unhold(Fetch& fetch);

    const std::size_t maxBodyBytes_;
    platform::ScratchFile* const aside_;
    // Keyed by a view of the fetch's own URL.
    ByURL probes_;
    ByURL pages_;
    // Held answers by place, and by the walk's requests when they arrived; those not packed yet
    // by place.
    std::set<std::pair<Priority, Fetch*>> held_;
    std::set<std::pair<Priority, Fetch*>> unpacked_;
    std::set<std::pair<std::uint32_t, Fetch*>> byAge_;
    static constexpr std::size_t kSlack = 256;
    std::size_t heldBytes_ = 0;
    // The furthest places the walk has asked for: of the rehearsal's order, and of the newest page
    // it walks (its places count down).
    std::int64_t rehearsedReached_ = 0;
    std::int64_t walkNowReached_ = 0;
};

}  // namespace quill::lookahead
