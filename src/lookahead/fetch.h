// One request the look-ahead sends for the walk, by kind and URL, with its place in the walk's
// order and what became of it. The queue, the store, the relay and the rehearsal share it.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookahead/walk_plan.h"
#include "platform/packed_transfer.h"
#include "platform/scratch_file.h"
#include "platform/transfer.h"

namespace quill::lookahead {

// A place in the order of fetches, of fixed size whatever the depth of the walk: a band, then two
// numbers within it. Lower goes first.
struct Priority {
    // What the walk is about to ask for, in the order of its pages (newest first) and elements.
    static constexpr std::int64_t kWalkNow = 0;
    // What the rehearsal of the walk has come to, in its order.
    static constexpr std::int64_t kRehearsed = 1;
    // Everything else found ahead, the pages worked out last first, each in its walk order.
    static constexpr std::int64_t kAhead = 2;
    // The probes of pages found ahead: their pages go first, as they tell the rehearsal as much.
    static constexpr std::int64_t kAheadProbes = 3;

    constexpr Priority() = default;
    // `minor` counts the requests of one page, `band` is one of the above (or next to one).
    constexpr Priority(std::int64_t band, std::int64_t major, std::int64_t minor)
        : major(major),
          minor(static_cast<std::int32_t>(minor)),
          band(static_cast<std::int32_t>(band)) {}

    std::int64_t major = 0;
    std::int32_t minor = 0;
    std::int32_t band = kAhead;

    friend auto operator<=>(const Priority& a, const Priority& b) {
        if (const auto order = a.band <=> b.band; order != 0) {
            return order;
        }
        if (const auto order = a.major <=> b.major; order != 0) {
            return order;
        }
        return a.minor <=> b.minor;
    }
    friend bool operator==(const Priority&, const Priority&) = default;
};

struct Fetch {
    enum class State : std::uint8_t {
        kPending,   // wanted, waiting for a connection
        kInFlight,  // sent
        kFinished,  // answered; the store holds the answer
        kTaken,     // never sent: the look-ahead stopped fetching, and the walk sends its own
        kReleased,  // answered and let go: handed to the walk, or its body dropped
    };

    // A site has as many of these as URLs: the small fields are kept together.
    std::string url;
    const std::string* host = nullptr;  // held by the look-ahead's table of hosts
    Priority priority;
    // In flight or just answered; packed while the store holds it short of room.
    std::shared_ptr<platform::Transfer> transfer;
    std::unique_ptr<const platform::PackedTransfer> packed;
    platform::ScratchFile::Slot aside;  // packed and set aside out of memory, when its size is set
    std::size_t heldBytes = 0;          // counted by the answer store

    bool head = false;  // the probe's HEAD, else the browser's page GET
    State state = State::kPending;
    bool queued = false;          // waiting in the fetch queue
    bool afterProbe = false;      // a pending page GET that waits for its probe's "200 OK"
    bool droppedForRoom = false;  // its body was let go to keep within the budget
    bool scout = false;           // in flight beyond the budget
    bool fetchedAgain = false;    // let go on the arrival of an answer, and wanted again
    // Times its answer went to the walk, times the walk asked for the URL however answered, and
    // times the rehearsal came to a use of it: a use the rehearsal comes to that the walk has not
    // yet made is still to come. A URL is used at most a few times a run.
    std::uint8_t served = 0;
    std::uint8_t asked = 0;
    std::uint8_t rehearsed = 0;
    bool passed = false;  // the rehearsal has gone past its last use of it

    // What the answer means to the walk, kept when the answer itself is let go; nothing while it
    // is unknown. A probe: "200 OK". A page: the browser shows it at its own address as HTML.
    std::optional<bool> probeOk;
    std::optional<bool> walkable;

    // A page GET the walk may follow: its address as the walk shows it (with a fragment, when it
    // has one), its depth as first met, and what its walk takes up, once worked out (held packed
    // until the rehearsal takes it).
    bool isPage = false;
    // The walk also loads the page to look for a fragment in it, without a probe.
    bool forFragments = false;
    bool metAsPage = false;  // pageURL and pageDepth are set
    bool planQueued = false;
    bool planned = false;
    bool leftToTheWalk = false;  // too big to read ahead: planned from the walk's own reading
    int pageDepth = 0;
    std::uint32_t planSettings = 0;  // the settings version the plan was worked out with
    std::uint32_t heldSince = 0;     // the walk's requests when its answer came, while held
    // A page the rehearsal came to twice: the rehearsal's place of the later use, until the
    // first is served.
    std::int64_t laterPlace = 0;
    std::unique_ptr<const std::string> pageURL;  // null when it is url itself
    std::unique_ptr<const PackedPlan> plan;

    const std::string& PageURL() const { return pageURL ? *pageURL : url; }
    // The walk probes and walks a URL once a run, and looks for fragments in a page once: a page
    // it does both with is asked for twice, anything else once.
    int Uses() const { return forFragments && isPage ? 2 : 1; }
    // The walk meets the page first at `address`, `depth` deep.
    void MeetAsPage(const std::string& address, int depth) {
        metAsPage = true;
        if (address != url) {
            pageURL = std::make_unique<const std::string>(address);
        }
        pageDepth = depth;
    }
};

}  // namespace quill::lookahead
