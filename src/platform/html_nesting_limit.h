// Keeps pathological markup from making the HTML parser slow: the parser's work per tag grows with
// the nesting depth, so past a depth no real page reaches, start tags are turned into text (their
// "<" becomes a space) and the tree stops growing deeper. Elements the crawl reads (links, images,
// frames, forms...) survive to a greater depth than the rest. Byte offsets stay as they were.
#pragma once

#include <string>

namespace quill::platform {

struct NestingLimits {
    // Open elements (not counting those whose end tags may be left out, such as <p> and <li>)
    // beyond which other start tags become text.
    int depth = 512;
    // The same for the elements the crawl reads.
    int readElementDepth = 1024;
};

// Follows the page's start and end tags roughly as the parser will and turns the start tags past
// the limits into text. Returns how many it turned.
int LimitHtmlNesting(std::string& html, const NestingLimits& limits = {});

}  // namespace quill::platform
