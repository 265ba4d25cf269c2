// What the walk of one page will ask the network for, worked out from the page's document with the
// walkers' own table and rules (the same URLs, scope test, depth rule and check boxes), in the
// order the walk will ask. The plan decides nothing about verdicts.
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
    // page itself, a check-only URL with "#"), so it counts as met from then on.
    kRecordOnly,
};

struct PlannedFetch {
    FetchKind kind = FetchKind::kProbe;
    // The URL as the walk records it.
    std::string url;
    // What goes over the network when it is not url itself: url without its fragment for
    // kUnprobedPage and kFragmentPage.
    std::string otherFetchURL;
    // Where the walk of the page reaches the element: its walker's row, then its index.
    std::int64_t position = 0;
    // kPage and kUnprobedPage: the page will be walked too (it lies within the maximum depth).
    bool walked = false;

    const std::string& FetchURL() const { return otherFetchURL.empty() ? url : otherFetchURL; }
    bool operator==(const PlannedFetch&) const = default;
};

using Plan = std::vector<PlannedFetch>;

// What the walk of `document` (shown at pageURL, walked at pageDepth) will take up, in walk order:
// every URL it records, with the requests it makes for it, leaving out URLs for which seenBefore
// holds and URLs met earlier on the same page.
Plan PlanPage(const platform::Document& document, const std::string& pageURL, int pageDepth,
              const WalkSettings& settings,
              const std::function<bool(const std::string&)>& seenBefore);

// The start page, as the one element of the page above it.
Plan StartPlan(const std::string& startURL);

}  // namespace quill::lookahead
