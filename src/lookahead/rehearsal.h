// Walks the site ahead of the walk, on the answers that have arrived and by the walk's own plans,
// and gives each request it comes to the next place in the order: the walk will ask for them in
// this order. It stops at the first page whose answers are still due and goes on when they come.
// Its state grows with the pages and URLs met: a stack of the pages it is in, and the URLs met.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lookahead/fetch.h"
#include "lookahead/walk_plan.h"

namespace quill::lookahead {

class Rehearsal {
  public:
    // The fetches the rehearsal reads and asks for.
    class Fetches {
      public:
        // afterProbe: a page GET that goes only once the URL's probe has said "200 OK", as the
        // walk loads it only then.
        virtual Fetch& Want(bool head, std::string_view url, const Priority& priority,
                            bool afterProbe = false) = 0;
        virtual Fetch* Find(bool head, std::string_view url) = 0;
        // The walk asks for a page whose answer is gone: it is fetched again (after its probe's
        // "200 OK" when afterProbe).
        virtual void Refetch(Fetch& page, bool afterProbe) = 0;
        // The page's plan is needed; it is worked out (its body fetched again first when it is
        // gone) and the rehearsal runs again.
        virtual void NeedPlan(Fetch& page) = 0;
        // The rehearsal has gone past its last use of the fetch: it reads nothing more of it.
        virtual void Passed(Fetch& fetch) = 0;

      protected:
        ~Fetches() = default;
    };

    void Start(const std::string& startURL);
    void Clear();
    void Run(Fetches& fetches, int maximumDepth);
    // The rehearsal has come to the URL (and placed its requests, if it makes any).
    bool Met(std::string_view url) const { return met_.count(Key(url)) > 0; }

  private:
    enum class Outcome { kWaiting, kNotWalked, kWalked };
    struct Frame {
        std::shared_ptr<const Plan> plan;
        int depth = 0;
        std::size_t next = 0;
        // The element at `next` has been taken up and waits for its page's answers.
        bool waiting = false;
    };

    // The rehearsal comes to a use of the page. Its answer is gone, as the walk had it or its
    // probe failed: a use the walk has still to make needs it fetched again. A rehearsal behind
    // the walk (after a change of settings, or when answers came quickly) comes to uses the walk
    // has made already. Bodies let go for room are left to the walk, which may be far behind.
    static bool UsedAgainAfterLetGo(Fetch& page) {
        ++page.rehearsed;
        return page.state == Fetch::State::kReleased && !page.droppedForRoom &&
               page.rehearsed > page.asked;
    }
    Priority NextPlace() { return Priority{Priority::kRehearsed, ++order_, 0}; }
    Outcome PageOutcome(Fetches& fetches, const PlannedFetch& element, int depth, int maximumDepth,
                        std::shared_ptr<const Plan>& plan);

    std::vector<Frame> frames_;
    // The walk's seen-before test: every URL it has recorded or has open; and the pages it has
    // loaded to look for fragments.
    // Kept as hashes of the URLs: a clash of two (about one in 10^13 on a site of a million
    // URLs) costs only a request the look-ahead does not make ahead, never a verdict.
    static std::uint64_t Key(std::string_view url) { return std::hash<std::string_view>{}(url); }
    std::unordered_set<std::uint64_t> met_;
    std::unordered_set<std::uint64_t> loaded_;
    std::int64_t order_ = 0;
};

}  // namespace quill::lookahead
