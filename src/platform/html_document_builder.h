// Builds the document model of an HTML page from its UTF-8 text and its address: the title and the
// element collections the walkers read, in document order, with URLs made absolute where a browser
// reports them so. The browser calls it for every page it shows; tests call it on strings.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/document.h"
#include "platform/html_nesting_limit.h"

namespace quill::platform {

// Bounds that keep hostile pages from costing unbounded time and memory. Real pages stay far
// below them.
struct HtmlBuildLimits {
    // The parser's work per character grows with the depth of the markup around it, so on large
    // pages these are lowered to keep depth times length bounded (to no less than 32 and 64).
    NestingLimits nesting;
    // Memory the parser may hold for one page; 0: 64 MiB plus 32 times the page, at most 1 GiB.
    // Past it the page is parsed again cut to half its length, until it fits.
    std::size_t parserMemoryBytes = 0;
};

// `html` is the page as UTF-8 text (see charset.h), `url` the address it was loaded from; every
// image gets `sizeSource` (may be null) to tell its file size. Never fails: broken markup is read
// as a browser reads it, and a URL that cannot be resolved is kept as written. Safe to call from
// several threads; a page of 4 MiB or more is parsed while no other such page is.
Document BuildHtmlDocument(std::string html, std::string url,
                           std::shared_ptr<FileSizeSource> sizeSource = nullptr,
                           const HtmlBuildLimits& limits = {});

// Resolves `reference` (an attribute value as written) against `base` the way a browser resolves
// link addresses; returns the reference as written when either cannot be parsed.
std::string ResolveUrl(const std::string& base, const std::string& reference);

}  // namespace quill::platform
