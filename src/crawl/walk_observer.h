// What a look-ahead learns of the walk, and the one thing it tells the walk back. The crawl calls
// these on its own thread when its services carry an observer; without one the walk runs alone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/document.h"
#include "scope/visit_control.h"

namespace quill {

// A test on a URL, shared between the crawl's thread and the look-ahead's, which may call it at
// once.
using SharedUrlTest = std::shared_ptr<const std::function<bool(const std::string&)>>;

// The settings the walk reads as it goes, taken together on the crawl's thread: the element check
// boxes, the maximum depth, the crawl scope and the running flag.
struct WalkSettings {
    bool images = true;
    bool applets = true;
    bool scriptsAndStyles = true;
    bool links = true;
    bool frames = true;
    bool forms = true;
    int maximumDepth = 0;
    VisitControl::ScopeSettings scope;
    bool running = true;
    // What bounds every request of the run, in seconds; 0 or less: each request's own default.
    int requestTimeoutSeconds = 0;
    // URLs the user skips: recorded skipped by the walk, never requested. Null for none.
    SharedUrlTest skip;

    bool operator==(const WalkSettings&) const = default;
};

class WalkObserver {
  public:
    virtual ~WalkObserver() = default;

    // A run begins with the start page, which the walk visits at depth 1 with follow on.
    virtual void RunStarted(const std::string& startURL, const WalkSettings& settings) = 0;
    // The walk is about to hand this page, loaded at `depth`, to its walkers. seenBefore is the
    // walk's own seen-before test at this moment.
    virtual void PageWalked(const platform::Document& document, const std::string& pageURL,
                            int depth, const WalkSettings& settings,
                            const std::function<bool(const std::string&)>& seenBefore) = 0;
    // The front end's events have run: the settings may have changed.
    virtual void SettingsChanged(const WalkSettings& settings) = 0;
    // The run is over; nothing of it may serve a later one.
    virtual void RunEnded() = 0;

    // Load times. The walk marks the start of a check or a load, makes its requests, and then
    // asks: when every request it made since the mark was answered by the look-ahead, the whole
    // seconds those requests took; nothing otherwise, and the walk measures with its clock.
    virtual std::uint64_t MarkRequests() = 0;
    virtual std::optional<int> ServedSeconds(std::uint64_t mark) = 0;
};

}  // namespace quill
