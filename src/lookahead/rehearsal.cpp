#include "lookahead/rehearsal.h"

#include "crawl/element_urls.h"

namespace quill::lookahead {

void Rehearsal::Start(const std::string& startURL) {
    Clear();
    // The start page is visited at depth 1 with follow on: the element of a page at depth 0.
    frames_.push_back(Frame{std::make_shared<const Plan>(StartPlan(startURL)), 0, 0, false});
}

void Rehearsal::Clear() {
    frames_.clear();
    met_.clear();
    loaded_.clear();
}

void Rehearsal::Run(Fetches& fetches, int maximumDepth) {
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next >= frame.plan->size()) {
            frames_.pop_back();
            continue;
        }
        const PlannedFetch element = (*frame.plan)[frame.next];
        if (!frame.waiting) {
            if (!met_.insert(Key(element.url)).second) {
                ++frame.next;
                continue;
            }
            switch (element.kind) {
                case FetchKind::kRecordOnly:
                    ++frame.next;
                    continue;
                case FetchKind::kProbe:
                    fetches.Passed(fetches.Want(true, element.FetchURL(), NextPlace()));
                    ++frame.next;
                    continue;
                case FetchKind::kFragmentPage:
                    if (loaded_.insert(Key(element.FetchURL())).second) {
                        Fetch& page = fetches.Want(false, element.FetchURL(), NextPlace());
                        page.forFragments = true;
                        if (UsedAgainAfterLetGo(page)) {
                            fetches.Refetch(page, false);
                        }
                        fetches.Passed(page);
                    }
                    ++frame.next;
                    continue;
                case FetchKind::kPage:
                    fetches.Want(true, element.FetchURL(), NextPlace());
                    [[fallthrough]];
                case FetchKind::kUnprobedPage: {
                    // Asked for with the probe: the walk loads it at once when the probe is good.
                    Fetch& page = fetches.Want(false, element.FetchURL(), NextPlace(),
                                               element.kind == FetchKind::kPage);
                    page.isPage = true;
                    if (UsedAgainAfterLetGo(page)) {
                        const Fetch* probe = fetches.Find(true, element.FetchURL());
                        const bool afterProbe = element.kind == FetchKind::kPage;
                        if (!afterProbe || probe == nullptr || probe->probeOk != false) {
                            fetches.Refetch(
                                page, afterProbe && (probe == nullptr || probe->probeOk != true));
                        }
                    }
                    if (!page.metAsPage) {
                        page.MeetAsPage(std::string(element.url), frame.depth + 1);
                    }
                    frame.waiting = true;
                    break;
                }
            }
        }
        std::shared_ptr<const Plan> plan;
        const int depth = frame.depth + 1;
        const Outcome outcome = PageOutcome(fetches, element, depth, maximumDepth, plan);
        if (outcome == Outcome::kWaiting) {
            return;
        }
        frame.waiting = false;
        ++frame.next;
        // Its probe (a followed link's) and its load are behind the rehearsal now.
        Fetch* probe =
            element.kind == FetchKind::kPage ? fetches.Find(true, element.FetchURL()) : nullptr;
        if (probe != nullptr) {
            fetches.Passed(*probe);
        }
        if (Fetch* page = fetches.Find(false, element.FetchURL())) {
            fetches.Passed(*page);
        }
        if (outcome == Outcome::kWalked) {
            // A page whose last element leads down has nothing left to rehearse: its frame goes,
            // so that a chain of pages costs the rehearsal one frame, not one a level.
            if (frame.next >= frame.plan->size()) {
                frames_.pop_back();
            } else {
                // While the rehearsal is deeper down, the page keeps only what it has still to
                // rehearse: what is met already it would go past.
                frame.plan = std::make_shared<const Plan>(frame.plan->From(
                    frame.next, [this](std::string_view url) { return !Met(url); }));
                frame.next = 0;
            }
            frames_.push_back(Frame{std::move(plan), depth, 0, false});
        }
    }
}

Rehearsal::Outcome Rehearsal::PageOutcome(Fetches& fetches, const PlannedFetch& element, int depth,
                                          int maximumDepth, std::shared_ptr<const Plan>& plan) {
    const auto due = [](const Fetch& fetch) {
        return fetch.state == Fetch::State::kPending || fetch.state == Fetch::State::kInFlight;
    };
    Fetch* page = fetches.Find(false, element.FetchURL());
    if (element.kind == FetchKind::kPage) {
        const Fetch* probe = fetches.Find(true, element.FetchURL());
        if (probe == nullptr) {
            return Outcome::kNotWalked;
        }
        // A page fetched ahead that shows as HTML is taken to pass its probe, still on its way.
        const bool shown = page != nullptr && page->walkable == true;
        if (!probe->probeOk.has_value() && due(*probe) && !shown) {
            return Outcome::kWaiting;
        }
        // Without an answer we can read (the walk asked itself), the page is taken to be good:
        // its load decides.
        if (probe->probeOk == false) {
            return Outcome::kNotWalked;
        }
    }
    if (page == nullptr) {
        return Outcome::kNotWalked;
    }
    if (!page->walkable.has_value()) {
        // Not ours to know when the walk loads the page itself: its own walk plans it.
        return due(*page) ? Outcome::kWaiting : Outcome::kNotWalked;
    }
    if (!*page->walkable || !WithinMaximumDepth(depth, maximumDepth)) {
        return Outcome::kNotWalked;
    }
    if (page->plan) {
        // Taken over: the plan lives as long as the rehearsal is in the page.
        plan = std::make_shared<const Plan>(page->plan->Unpack());
        page->plan.reset();
        return Outcome::kWalked;
    }
    if (page->planned) {
        return Outcome::kNotWalked;  // taken already
    }
    // Its body may be gone (loaded for fragments only, or let go for room): it is fetched again.
    fetches.NeedPlan(*page);
    return page->planQueued || due(*page) ? Outcome::kWaiting : Outcome::kNotWalked;
}

}  // namespace quill::lookahead
