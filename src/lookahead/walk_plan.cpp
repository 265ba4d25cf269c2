#include "lookahead/walk_plan.h"

#include <optional>
#include <unordered_set>

#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "crawl/walkers.h"
#include "scope/visit_control.h"

namespace quill::lookahead {
namespace {

std::int64_t PositionOf(std::size_t row, std::size_t index) {
    return (static_cast<std::int64_t>(row) << 32) | static_cast<std::uint32_t>(index);
}

class PagePlanner {
  public:
    PagePlanner(const std::string& pageURL, int pageDepth, const WalkSettings& settings,
                const std::function<bool(const std::string&)>& seenBefore)
        : pageURL_(pageURL), pageDepth_(pageDepth), settings_(settings), seenBefore_(seenBefore) {}

    // The walk's seen-before test, with every URL met earlier on this page counted as known:
    // the walk records each one before it takes the next element.
    bool IsNew(const std::string& url) {
        if (metOnPage_.count(url) > 0 || (seenBefore_ && seenBefore_(url))) {
            return false;
        }
        if (settings_.skip && (*settings_.skip)(url)) {
            return false;  // the user's skip: recorded by the walk without a request
        }
        metOnPage_.insert(url);
        return true;
    }

    void Take(const std::string& url, WalkerUse use, std::int64_t position) {
        if (use == WalkerUse::kVerify) {
            Add(FetchKind::kProbe, url, "", position);
            return;
        }
        const int mode = VisitControl::VisitModeFor(settings_.scope, url, pageURL_);
        const bool fragment = HoldsFragmentMark(url);
        if (mode != VisitControl::kFollow && mode != VisitControl::kCheckOnly) {
            Add(FetchKind::kRecordOnly, url, "", position);
        } else if (fragment && use == WalkerUse::kVisitOrJudgeFragment) {
            // Judged in the page it points to, which is loaded unless it is this one.
            const std::optional<std::string> address = FragmentPageAddress(url, pageURL_);
            Add(address ? FetchKind::kFragmentPage : FetchKind::kRecordOnly, url,
                address.value_or(""), position);
        } else if (mode == VisitControl::kFollow) {
            Add(fragment ? FetchKind::kUnprobedPage : FetchKind::kPage, url,
                fragment ? WithoutFragment(url) : "", position);
            plan_.back().walked = WithinMaximumDepth(pageDepth_ + 1, settings_.maximumDepth);
        } else {
            // Checked only: a URL with "#" is good without a request.
            Add(fragment ? FetchKind::kRecordOnly : FetchKind::kProbe, url, "", position);
        }
    }

    // Without the spare room the plan grew with: plans are kept while their pages are walked.
    Plan TakePlan() {
        plan_.shrink_to_fit();
        return std::move(plan_);
    }

  private:
    void Add(FetchKind kind, const std::string& url, std::string fetchURL, std::int64_t position) {
        if (fetchURL == url) {
            fetchURL.clear();
        }
        plan_.push_back(PlannedFetch{kind, url, std::move(fetchURL), position, false});
    }

    const std::string& pageURL_;
    const int pageDepth_;
    const WalkSettings& settings_;
    const std::function<bool(const std::string&)>& seenBefore_;
    std::unordered_set<std::string> metOnPage_;
    Plan plan_;
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
    PlannedFetch start;
    const bool fragment = HoldsFragmentMark(startURL);
    start.kind = fragment ? FetchKind::kUnprobedPage : FetchKind::kPage;
    start.url = startURL;
    start.otherFetchURL = fragment ? WithoutFragment(startURL) : "";
    start.walked = true;
    return Plan{start};
}

}  // namespace quill::lookahead
