#include "crawl/lookahead_plan.h"

#include <optional>
#include <unordered_set>

#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "scope/visit_control.h"

namespace quill::lookahead {
namespace {

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

    void Probe(const std::string& url, std::int64_t position) {
        plan_.push_back(PlannedFetch{FetchKind::kProbe, url, url, position, false});
    }

    void RecordOnly(const std::string& url, std::int64_t position) {
        plan_.push_back(PlannedFetch{FetchKind::kRecordOnly, url, "", position, false});
    }

    // A link or frame taken up by the walk: followed, checked, or skipped by the scope.
    void Visit(const std::string& url, int visitMode, std::int64_t position) {
        const bool walked = WithinMaximumDepth(pageDepth_ + 1, settings_.maximumDepth);
        if (visitMode == VisitControl::kFollow) {
            if (HoldsFragmentMark(url)) {
                plan_.push_back(PlannedFetch{FetchKind::kUnprobedPage, url, WithoutFragment(url),
                                             position, walked});
            } else {
                plan_.push_back(PlannedFetch{FetchKind::kPage, url, url, position, walked});
            }
        } else if (visitMode == VisitControl::kCheckOnly && !HoldsFragmentMark(url)) {
            Probe(url, position);
        } else {
            // Skipped, or checked without a request: a check-only URL with "#" is good as it is.
            RecordOnly(url, position);
        }
    }

    void FragmentLink(const std::string& url, std::int64_t position) {
        if (const std::optional<std::string> address = FragmentPageAddress(url, pageURL_)) {
            plan_.push_back(PlannedFetch{FetchKind::kFragmentPage, url, *address, position, false});
        } else {
            RecordOnly(url, position);  // judged in the page itself
        }
    }

    int VisitMode(const std::string& url) const {
        return VisitControl::VisitModeFor(settings_.scope, url, pageURL_);
    }

    std::vector<PlannedFetch> TakePlan() { return std::move(plan_); }

  private:
    const std::string& pageURL_;
    const int pageDepth_;
    const WalkSettings& settings_;
    const std::function<bool(const std::string&)>& seenBefore_;
    std::unordered_set<std::string> metOnPage_;
    std::vector<PlannedFetch> plan_;
};

}  // namespace

std::vector<PlannedFetch> PlanPage(const platform::Document& document, const std::string& pageURL,
                                   int pageDepth, const WalkSettings& settings,
                                   const std::function<bool(const std::string&)>& seenBefore) {
    PagePlanner planner(pageURL, pageDepth, settings, seenBefore);
    if (!document.IsHtml()) {
        return {};
    }
    if (settings.images) {
        for (int i = 0; i < static_cast<int>(document.images.size()); ++i) {
            const std::string url = ImageURL(document.images[i]);
            if (planner.IsNew(url)) {
                planner.Probe(url, PositionOf(kImagesSlot, i));
            }
        }
    }
    if (settings.applets) {
        for (int i = 0; i < static_cast<int>(document.applets.size()); ++i) {
            const std::string url = AppletURL(document.applets[i]);
            if (planner.IsNew(url)) {
                planner.Probe(url, PositionOf(kAppletsSlot, i));
            }
        }
    }
    if (settings.scriptsAndStyles) {
        for (int i = 0; i < static_cast<int>(document.scripts.size()); ++i) {
            const std::optional<std::string> url = ScriptURL(document.scripts[i], pageURL);
            if (url && planner.IsNew(*url)) {
                planner.Probe(*url, PositionOf(kScriptsSlot, i));
            }
        }
        for (int i = 0; i < static_cast<int>(document.styleSheets.size()); ++i) {
            const std::optional<std::string> url = StyleSheetURL(document.styleSheets[i], pageURL);
            if (url && planner.IsNew(*url)) {
                planner.Probe(*url, PositionOf(kStyleSheetsSlot, i));
            }
        }
    }
    if (settings.links) {
        for (int i = 0; i < static_cast<int>(document.links.size()); ++i) {
            const std::string url = LinkURL(document.links[i]);
            if (!planner.IsNew(url)) {
                continue;
            }
            const int mode = planner.VisitMode(url);
            if (mode != VisitControl::kFollow && mode != VisitControl::kCheckOnly) {
                planner.RecordOnly(url, PositionOf(kLinksSlot, i));
            } else if (HoldsFragmentMark(url)) {
                planner.FragmentLink(url, PositionOf(kLinksSlot, i));
            } else {
                planner.Visit(url, mode, PositionOf(kLinksSlot, i));
            }
        }
    }
    if (settings.frames) {
        for (int i = 0; i < static_cast<int>(document.frames.size()); ++i) {
            const std::string url = FrameURL(document.frames[i]);
            if (planner.IsNew(url)) {
                planner.Visit(url, planner.VisitMode(url), PositionOf(kFramesSlot, i));
            }
        }
    }
    if (settings.forms) {
        for (int i = 0; i < static_cast<int>(document.forms.size()); ++i) {
            const std::string url = FormURL(document.forms[i], pageURL);
            if (planner.IsNew(url)) {
                planner.Probe(url, PositionOf(kFormsSlot, i));
            }
        }
    }
    return planner.TakePlan();
}

}  // namespace quill::lookahead
