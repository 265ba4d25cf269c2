// Markup advisories: advice on images (alt text, size attributes, bulk) and anchors (ALT text),
// kept in a store that holds one crawl run's advice and is written as the report's last section.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/document.h"

namespace quill::SyntaxChecker {

// One advisory as the store gives it back; the texts stay valid until ResetAdvisories.
struct Advisory {
    std::string_view subject;   // "Image <src>" or "Anchor <url>"
    std::string_view referrer;  // page where the element was met
    std::string_view message;   // one or more sentences, each ending in ". "
};

// The store keeps each text once: a page's URL and a message are shared by its advisories.
void AddAdvisory(std::string_view subject, std::string_view referrer, std::string_view message);
void CheckImageMarkup(const platform::ImageElement& image, const std::string& pageUrl);
void CheckAnchorMarkup(const platform::LinkElement& link, const std::string& url,
                       const std::string& pageUrl);

// The advisories in the order they were added.
std::size_t AdvisoryCount();
Advisory AdvisoryAt(std::size_t index);
// Empties the store; every Start does, with the link registry, so a report describes one run.
void ResetAdvisories();

// Writes the advisory section of the report; nothing at all when the store is empty.
void WriteAdvisoryReport(std::ostream& file);

}  // namespace quill::SyntaxChecker
