// What the walk of one page will ask the network for, worked out from the page's document with
// the walkers' own rules (the same URLs, the same scope test, the same depth rule, the same check
// boxes), in the order the walk will ask. The look-ahead fetches the plan before the walk gets
// there; the plan decides nothing about verdicts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crawl/walk_observer.h"
#include "platform/document.h"

namespace quill::lookahead {

enum class FetchKind {
    // HEAD only: an image, applet, script, style sheet or form action, or a link or frame that is
    // only checked.
    kProbe,
    // HEAD, then GET when the page is followed: a link or frame in follow mode.
    kPage,
    // GET alone: a followed frame whose URL holds "#", which is loaded without a probe.
    kUnprobedPage,
    // GET alone: the other page a fragment link is judged in (loaded, never walked).
    kFragmentPage,
    // No request: the walk records the URL all the same (skipped by the scope, a fragment of the
    // page itself, a check-only frame with "#"), so it counts as met from then on.
    kRecordOnly,
};

// The walkers in the order parseDoc calls them.
enum WalkerSlot : int {
    kImagesSlot = 0,
    kAppletsSlot,
    kScriptsSlot,
    kStyleSheetsSlot,
    kLinksSlot,
    kFramesSlot,
    kFormsSlot,
};

// Where the walk of a page reaches an element: its walker's slot, then its index.
constexpr std::int64_t PositionOf(WalkerSlot slot, int index) {
    return (static_cast<std::int64_t>(slot) << 32) | static_cast<std::uint32_t>(index);
}

struct PlannedFetch {
    FetchKind kind = FetchKind::kProbe;
    // The URL as the walk records it: probed, visited (a frame's may hold "#"), or the fragment
    // link itself.
    std::string url;
    // What goes over the network: url itself, or without its fragment for kUnprobedPage and
    // kFragmentPage; "" for kRecordOnly.
    std::string fetchURL;
    std::int64_t position = 0;
    // kPage and kUnprobedPage: the page will be walked too (it lies within the maximum depth).
    bool walked = false;

    bool operator==(const PlannedFetch&) const = default;
};

// What the walk of `document` (shown at pageURL, walked at pageDepth) will take up, in walk order:
// every URL it records, with the requests it makes for it, leaving out URLs for which seenBefore
// holds and URLs met earlier on the same page.
std::vector<PlannedFetch> PlanPage(const platform::Document& document, const std::string& pageURL,
                                   int pageDepth, const WalkSettings& settings,
                                   const std::function<bool(const std::string&)>& seenBefore);

}  // namespace quill::lookahead
