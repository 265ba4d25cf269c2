#include "lookahead/walk_plan.h"

#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "crawl/walkers.h"
#include "scope/visit_control.h"

namespace quill::lookahead {
namespace {

constexpr int kRowShift = 32;

}  // namespace

PlannedFetch Plan::operator[](std::size_t at) const {
    const Entry& entry = entries_[at];
    return PlannedFetch{entry.kind, std::string_view(urls_).substr(entry.offset, entry.length),
                        (static_cast<std::int64_t>(entry.row) << kRowShift) | entry.index,
                        entry.walked};
}

void Plan::Add(FetchKind kind, std::string_view url, std::int64_t position, bool walked) {
    entries_.push_back(Entry{static_cast<std::uint32_t>(urls_.size()),
                             static_cast<std::uint32_t>(url.size()),
                             static_cast<std::uint32_t>(position),
                             static_cast<std::uint8_t>(position >> kRowShift), kind, walked});
    urls_.append(url);
}

Plan Plan::From(std::size_t first, const std::function<bool(std::string_view url)>& keep) const {
    Plan rest;
    for (std::size_t at = first; at < entries_.size(); ++at) {
        const Entry& entry = entries_[at];
        const std::string_view url = std::string_view(urls_).substr(entry.offset, entry.length);
        if (keep(url)) {
            rest.entries_.push_back(entry);
            rest.entries_.back().offset = static_cast<std::uint32_t>(rest.urls_.size());
            rest.urls_ += url;
        }
    }
    rest.ShrinkToFit();
    return rest;
}

void Plan::ShrinkToFit() {
    urls_.shrink_to_fit();
    entries_.shrink_to_fit();
}

PackedPlan::PackedPlan(const Plan& plan)
    : entries_(static_cast<std::uint32_t>(plan.entries_.size())) {
    std::string both(entries_ * sizeof(Plan::Entry), '\0');
    if (!both.empty()) {
        std::memcpy(both.data(), plan.entries_.data(), both.size());
    }
    both += plan.urls_;
    packed_ = platform::PackedText(std::move(both));
}

Plan PackedPlan::Unpack() const {
    const std::size_t entryBytes = entries_ * sizeof(Plan::Entry);
    const std::string both = packed_.Unpack();
    Plan plan;
    if (both.size() >= entryBytes) {
        plan.entries_.resize(entries_);
        if (entryBytes > 0) {
            std::memcpy(plan.entries_.data(), both.data(), entryBytes);
        }
        plan.urls_ = both.substr(entryBytes);
    }
    return plan;
}

namespace {

std::int64_t PositionOf(std::size_t row, std::size_t index) {
    return (static_cast<std::int64_t>(row) << kRowShift) | static_cast<std::uint32_t>(index);
}

// Hashes and compares the URLs of plan entries, named by their place in the plan, and URLs
// themselves, so the URLs a page has met are held once, in its plan.
class UrlInPlan {
  public:
    using is_transparent = void;
    explicit UrlInPlan(const Plan& plan) : plan_(&plan) {}

    template <typename Key>
    std::size_t operator()(const Key& key) const {
        return std::hash<std::string_view>{}(Url(key));
    }
    template <typename Left, typename Right>
    bool operator()(const Left& left, const Right& right) const {
        return Url(left) == Url(right);
    }

  private:
    std::string_view Url(std::size_t place) const { return (*plan_)[place].url; }
    static std::string_view Url(std::string_view url) { return url; }

    const Plan* plan_;
};

class PagePlanner {
  public:
    PagePlanner(const std::string& pageURL, int pageDepth, const WalkSettings& settings,
                const std::function<bool(const std::string&)>& seenBefore)
        : pageURL_(pageURL), pageDepth_(pageDepth), settings_(settings), seenBefore_(seenBefore) {}

    // The walk's seen-before test, with every URL met earlier on this page counted as known:
    // the walk records each one before it takes the next element.
    bool IsNew(const std::string& url) {
        if (metOnPage_.find(std::string_view(url)) != metOnPage_.end() ||
            (seenBefore_ && seenBefore_(url))) {
            return false;
        }
        if (settings_.skip && (*settings_.skip)(url)) {
            return false;  // the user's skip: recorded by the walk without a request
        }
        return true;
    }

    // Every new URL is taken, and gets exactly one entry in the plan.

    void Take(const std::string& url, WalkerUse use, std::int64_t position) {
        if (use == WalkerUse::kVerify) {
            Add(FetchKind::kProbe, url, position);
            return;
        }
        const int mode = VisitControl::VisitModeFor(settings_.scope, url, pageURL_);
        const bool fragment = HoldsFragmentMark(url);
        if (mode != VisitControl::kFollow && mode != VisitControl::kCheckOnly) {
            Add(FetchKind::kRecordOnly, url, position);
        } else if (fragment && use == WalkerUse::kVisitOrJudgeFragment) {
            // Judged in the page it points to, which is loaded unless it is this one.
            Add(FragmentPageAddress(url, pageURL_) ? FetchKind::kFragmentPage
                                                   : FetchKind::kRecordOnly,
                url, position);
        } else if (mode == VisitControl::kFollow) {
            Add(fragment ? FetchKind::kUnprobedPage : FetchKind::kPage, url, position,
                WithinMaximumDepth(pageDepth_ + 1, settings_.maximumDepth));
        } else {
            // Checked only: a URL with "#" is good without a request.
            Add(fragment ? FetchKind::kRecordOnly : FetchKind::kProbe, url, position);
        }
    }

    // Without the spare room the plan grew with: plans are kept while their pages are walked.
    Plan TakePlan() {
        plan_.ShrinkToFit();
        return std::move(plan_);
    }

  private:
    void Add(FetchKind kind, const std::string& url, std::int64_t position, bool walked = false) {
        plan_.Add(kind, url, position, walked);
        metOnPage_.insert(plan_.size() - 1);
    }

    const std::string& pageURL_;
    const int pageDepth_;
    const WalkSettings& settings_;
    const std::function<bool(const std::string&)>& seenBefore_;
    Plan plan_;
    // The entries of URLs met earlier on this page.
    std::unordered_set<std::size_t, UrlInPlan, UrlInPlan> metOnPage_{0, UrlInPlan(plan_),
                                                                     UrlInPlan(plan_)};
};

}  // namespace

Plan PlanPage(const platform::Document& document, const std::string& pageURL, int pageDepth,
              const WalkSettings& settings,
              const std::function<bool(const std::string&)>& seenBefore) {
    if (!document.IsHtml()) {
        return {};
    }
    PagePlanner planner(pageURL, pageDepth, settings, seenBefore);
    for (std::size_t row = 0; row < kWalkers.size(); ++row) {
        const WalkerRow& walker = kWalkers[row];
        if (!(settings.*walker.setting)) {
            continue;
        }
        const std::size_t count = walker.count(document);
        for (std::size_t i = 0; i < count; ++i) {
            const std::optional<std::string> url = walker.url(document, i, pageURL);
            if (url && planner.IsNew(*url)) {
                planner.Take(*url, walker.use, PositionOf(row, i));
            }
        }
    }
    return planner.TakePlan();
}

Plan StartPlan(const std::string& startURL) {
    Plan plan;
    plan.Add(HoldsFragmentMark(startURL) ? FetchKind::kUnprobedPage : FetchKind::kPage, startURL, 0,
             true);
    return plan;
}

}  // namespace quill::lookahead
