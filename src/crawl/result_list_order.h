// The order in which every front end keeps its result lists: alphabetical, letter case ignored,
// entries that differ only in case in code-point order, so the window and the command line agree.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace quill {

inline bool ResultListLess(std::string_view a, std::string_view b) {
    const bool foldedLess = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
    if (foldedLess) {
        return true;
    }
    const bool foldedGreater = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
    return !foldedGreater && a < b;
}

}  // namespace quill
