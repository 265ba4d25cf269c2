// The seven element walkers described once, in the order parseDoc calls them: the check box that
// switches each on, how it reads the URL of one element of its collection, and what the walk does
// with a new URL. parseDoc, the look-ahead's plan and its rehearsal all go by this table.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "crawl/crawl_front_end.h"
#include "crawl/walk_observer.h"
#include "platform/document.h"

namespace quill {

enum class Walker { kImages, kApplets, kScripts, kStyleSheets, kLinks, kFrames, kForms };

// What the walk does with a URL its walker meets for the first time in a run.
enum class WalkerUse {
    // Checks it with the HEAD probe and records the verdict.
    kVerify,
    // Asks the crawl scope, then follows, checks or skips it; a URL with "#" is judged by its
    // fragment instead (hyperlinks).
    kVisitOrJudgeFragment,
    // Asks the crawl scope, then follows, checks or skips it (frames).
    kVisit,
};

struct WalkerRow {
    Walker walker;
    CheckControl box;
    // The same box as the walk settings carry it.
    bool WalkSettings::*setting;
    // The elements of the walker's collection in the document.
    std::size_t (*count)(const platform::Document& document);
    // The URL of element i as the walker forms it (the attribute read and the URL rule); nothing
    // for an element the walker passes over.
    std::optional<std::string> (*url)(const platform::Document& document, std::size_t i,
                                      const std::string& pageURL);
    WalkerUse use;
    // Empties what only this walker reads of the document (for hyperlinks also the anchors and
    // ids its fragments are judged by), giving its memory back.
    void (*letGo)(platform::Document& document);
};

extern const std::array<WalkerRow, 7> kWalkers;

}  // namespace quill
