// Markup advisories: advice on images (alt text, size attributes, bulk) and anchors (ALT text),
// kept in a store that holds one crawl run's advice and is written as the report's last section.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/document.h"

namespace quill::SyntaxChecker {

struct Advisory {
    std::string subject;   // "Image <src>" or "Anchor <url>"
    std::string referrer;  // page where the element was met
    std::string message;   // one or more sentences, each ending in ". "
};

void AddAdvisory(const std::string& subject, const std::string& referrer,
                 const std::string& message);
void CheckImageMarkup(const platform::ImageElement& image, const std::string& pageUrl);
void CheckAnchorMarkup(const platform::LinkElement& link, const std::string& url,
                       const std::string& pageUrl);

const std::vector<Advisory>& Advisories();
// Empties the store; every Start does, with the link registry, so a report describes one run.
void ResetAdvisories();

// Writes the advisory section of the report; nothing at all when the store is empty.
void WriteAdvisoryReport(std::ostream& file);

}  // namespace quill::SyntaxChecker
