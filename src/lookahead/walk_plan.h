// What the walk of one page will ask the network for, worked out from the page's document with the
// walkers' own table and rules (the same URLs, scope test, depth rule and check boxes), in the
// order the walk will ask. The plan decides nothing about verdicts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crawl/walk_observer.h"
#include "platform/deflate.h"
#include "platform/document.h"

namespace quill::lookahead {

enum class FetchKind : std::uint8_t {
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

// One element of a plan, as read from it: a view into the plan, valid while the plan lives.
struct PlannedFetch {
    FetchKind kind = FetchKind::kProbe;
    // The URL as the walk records it.
    std::string_view url;
    // Where the walk of the page reaches the element: its walker's row, then its index.
    std::int64_t position = 0;
    // kPage and kUnprobedPage: the page will be walked too (it lies within the maximum depth).
    bool walked = false;

    // What goes over the network: url without its fragment for kUnprobedPage and kFragmentPage.
    std::string_view FetchURL() const {
        return kind == FetchKind::kUnprobedPage || kind == FetchKind::kFragmentPage
                   ? url.substr(0, url.find('#'))
                   : url;
    }
};

// The elements of a page's plan in walk order. Plans are kept while their pages are walked ahead,
// and a big site has many: the URLs share one buffer, and an element takes 16 bytes besides.
class Plan {
  public:
    class const_iterator {
      public:
        const_iterator(const Plan& plan, std::size_t at) : plan_(&plan), at_(at) {}
        PlannedFetch operator*() const { return (*plan_)[at_]; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

      private:
        const Plan* plan_;
        std::size_t at_;
    };

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    PlannedFetch operator[](std::size_t at) const;
    const_iterator begin() const { return {*this, 0}; }
    const_iterator end() const { return {*this, size()}; }

    void Add(FetchKind kind, std::string_view url, std::int64_t position, bool walked);
    // The elements from `first` on for which `keep` holds, held without the others.
    Plan From(std::size_t first, const std::function<bool(std::string_view url)>& keep) const;
    // Without the spare room the plan grew with.
    void ShrinkToFit();

  private:
    friend class PackedPlan;

    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t index;  // within its walker's row
        std::uint8_t row;
        FetchKind kind;
        bool walked;
    };
    std::string urls_;
    std::vector<Entry> entries_;
};

// A plan kept small while it waits for the rehearsal: its elements and URLs, compressed.
class PackedPlan {
  public:
    explicit PackedPlan(const Plan& plan);
    Plan Unpack() const;

  private:
    platform::PackedText packed_;  // the entries, then the URLs
    std::uint32_t entries_ = 0;
};

// What the walk of `document` (shown at pageURL, walked at pageDepth) will take up, in walk order:
// every URL it records, with the requests it makes for it, leaving out URLs for which seenBefore
// holds and URLs met earlier on the same page.
Plan PlanPage(const platform::Document& document, const std::string& pageURL, int pageDepth,
              const WalkSettings& settings,
              const std::function<bool(const std::string&)>& seenBefore);

// The start page, as the one element of the page above it.
Plan StartPlan(const std::string& startURL);

}  // namespace quill::lookahead
