// The walkers that carry the crawl from page to page: hyperlinks (with their fragments) and frames.
// Each new URL gets its visit mode from the crawl scope and is followed, checked or skipped.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/crawl.h"
#include "crawl/element_urls.h"
#include "crawl/page_urls.h"
#include "crawl/run_failure.h"
#include "crawl/verdict_reasons.h"
#include "scope/visit_control.h"

namespace quill {
namespace {

constexpr char kNetErrorLocation[] = "about:neterror";

// A good URL that is checked but not walked because of its extension says so.
std::string WithExclusion(const std::string& reason, const std::string& url, bool good) {
    const std::string extension =
        VisitControl::ExcludedExtensionOf(VisitControl::CurrentScope(), url);
    if (!good || extension.empty()) {
        return reason;
    }
    return reason + "; excluded extension " + extension + ": not walked";
}

// Frees what a handled link holds; its place goes with the places handled.
void LetGo(platform::LinkElement& link) {
    link.href.clear();
    link.href.shrink_to_fit();
    link.SetHash("");
}

}  // namespace

void Crawl::CheckHyperlinks(platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "link");
    std::vector<platform::LinkElement>& links = document.links;
    const int count = static_cast<int>(links.size());
    // Each link is let go after its turn; the places of handled links are given back once they
    // outnumber the links still to come. Link i is at i - gone.
    int gone = 0;
    for (int i = 0; i < count; ++i) {
        if (!state_.running) {
            return;
        }
        auto at = static_cast<std::size_t>(i - gone);
        if (at > links.size() - at) {
            links.erase(links.begin(), links.begin() + static_cast<std::ptrdiff_t>(at));
            links.shrink_to_fit();
            gone = i;
            at = 0;
        }
        // Areas of image maps are in the collection too; they are handled by their href. The link
        // is read in its place (not copied onto the stack while the walk is deeper down) and let
        // go once handled.
        platform::LinkElement& link = links[at];
        try {
            const std::string& url = LinkURL(link);
            HandleLink(document, pageURL, link, url, link.hash());
        } catch (const RunFailure&) {
            throw;  // Came out of the walk of a page further down: it ends the run.
        } catch (...) {
            // A failure with this element: try once more by its href alone; a second failure
            // goes to the caller.
            const std::string href = link.href;
            if (href.empty()) {
                RecordLinkResult(href, pageURL, kLinkSkipped, 0, kReasonEmptyLink);
                continue;
            }
            HandleLink(document, pageURL, link, href, link.hash());
        }
        LetGo(link);
    }
}

void Crawl::HandleLink(const platform::Document& document, const std::string& pageURL,
                       const platform::LinkElement& link, const std::string& url,
                       std::string_view hash) {
    const WalkKind kind(*this, HoldsFragmentMark(url) ? "fragment" : "link");
    if (SeenBeforeOn(url, pageURL)) {
        return;
    }
    if (SkippedByUser(url, pageURL)) {
        SyntaxChecker::CheckAnchorMarkup(link, url, pageURL);
        return;
    }
    const int visitMode = VisitControl::GetVisitMode(url, pageURL);
    if (visitMode == VisitControl::kFollow || visitMode == VisitControl::kCheckOnly) {
        int loadTime = 0;
        bool good = false;
        std::string reason;
        if (HoldsFragmentMark(url)) {
            good = JudgeFragmentLink(document, pageURL, url, hash, loadTime, reason);
        } else {
            good = VisitPage(url, visitMode == VisitControl::kFollow, loadTime, &reason);
            reason = WithExclusion(reason, url, good);
        }
        RecordLinkResult(url, pageURL, good ? kLinkValid : kLinkBroken, loadTime, reason);
    } else {
        RecordLinkResult(url, pageURL, kLinkSkipped, 0, ScopeSkipReason(url));
    }
    SyntaxChecker::CheckAnchorMarkup(link, url, pageURL);
}

bool Crawl::JudgeFragmentLink(const platform::Document& document, const std::string& pageURL,
                              const std::string& url, std::string_view hash, int& loadTime,
                              std::string& reason) {
    loadTime = 0;
    const std::string fragment = DecodeFragment(std::string(
        hash.empty() ? std::string_view(url).substr(url.find('#') + 1) : hash.substr(1)));
    const std::optional<std::string> address = FragmentPageAddress(url, pageURL);
    // A fragment of another page is looked for in that page, which must load.
    const FragmentPage* target = address ? LoadFragmentPage(*address, loadTime, reason) : nullptr;
    if (address && !target) {
        return false;
    }
    // An empty fragment names the top of the page, which is always there.
    if (fragment.empty()) {
        reason = kReasonTopOfPage;
        return true;
    }
    const bool found =
        address ? std::binary_search(target->targets.begin(), target->targets.end(), fragment)
                : HoldsFragment(document, fragment);
    reason = FragmentReason(fragment, found);
    return found;
}

const Crawl::FragmentPage* Crawl::LoadFragmentPage(const std::string& pageAddress, int& loadTime,
                                                   std::string& reason) {
    const auto known = fragmentPages_.find(pageAddress);
    if (known != fragmentPages_.end()) {
        loadTime = 0;
        reason = known->second.reason;
        return known->second.loaded ? &known->second : nullptr;
    }

    const platform::Clock::TimePoint start = services_.clock.Now();
    const std::optional<std::uint64_t> mark = MarkRequests();
    const std::shared_ptr<platform::PageLoad> load = services_.pageLoader.Load(pageAddress);
    if (!load) {
        loadTime = 0;
        reason = kReasonPageNotLoaded;
        fragmentPages_.emplace(pageAddress, FragmentPage{false, {}, reason});
        return nullptr;
    }
    // Timed out, the page is judged with what has arrived.
    const bool waited = WaitForPage([&load] { return load->Complete(); }, *load->LoadDone());
    loadTime = LoadSeconds(mark, load->DurationSeconds());
    NoteLoad(loadTime, start, std::nullopt);
    if (!waited) {
        reason = kReasonStopped;
        return nullptr;  // Not kept: a stopped load says nothing about the page.
    }

    FragmentPage page;
    page.loaded = load->LocationURL() != kNetErrorLocation;
    page.reason = page.loaded ? "" : kReasonPageNotLoaded;
    if (const std::shared_ptr<const platform::Document> document = load->GetDocument();
        page.loaded && document) {
        for (const platform::AnchorElement& anchor : document->anchors) {
            page.targets.push_back(anchor.name);
        }
        page.targets.insert(page.targets.end(), document->ids.begin(), document->ids.end());
        std::sort(page.targets.begin(), page.targets.end());
        page.targets.erase(std::unique(page.targets.begin(), page.targets.end()),
                           page.targets.end());
        page.targets.shrink_to_fit();
    }
    reason = page.reason;
    const FragmentPage& kept = fragmentPages_.emplace(pageAddress, std::move(page)).first->second;
    return kept.loaded ? &kept : nullptr;
}

bool Crawl::HoldsFragment(const platform::Document& document, const std::string& fragment) {
    return FindNamedAnchor(document, fragment) || document.HasElementWithId(fragment);
}

bool Crawl::FindNamedAnchor(const platform::Document& document, const std::string& name) {
    const int count = static_cast<int>(document.anchors.size());
    for (int i = 0; i < count; ++i) {
        if (document.anchors[i].name == name) {
            return true;
        }
    }
    return false;
}

void Crawl::CheckFrames(platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "frame");
    // Every frame URL is read before the first frame is visited.
    const int count = static_cast<int>(document.frames.size());
    std::vector<std::string> frameURLs;
    frameURLs.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        frameURLs.push_back(FrameURL(document.frames[i]));
    }
    std::vector<platform::FrameElement>().swap(document.frames);

    for (int i = 0; i < count; ++i) {
        if (!state_.running) {
            return;
        }
        const std::string& url = frameURLs[i];
        if (SeenBeforeOn(url, pageURL) || SkippedByUser(url, pageURL)) {
            continue;
        }
        const int visitMode = VisitControl::GetVisitMode(url, pageURL);
        if (visitMode == VisitControl::kFollow || visitMode == VisitControl::kCheckOnly) {
            int loadTime = 0;
            std::string reason;
            const bool good = VisitPage(url, visitMode == VisitControl::kFollow, loadTime, &reason);
            RecordLinkResult(url, pageURL, good ? kLinkValid : kLinkBroken, loadTime,
                             WithExclusion(reason, url, good));
        } else {
            RecordLinkResult(url, pageURL, kLinkSkipped, 0, ScopeSkipReason(url));
        }
    }
}

}  // namespace quill
