// The link registry: the memory of one crawl run. Five maps remember every verdict with its load
// time and referrer, and the pages open on the current path of the recursion. Emptied at each
// Start and kept after a run, so the report can be written afterwards. Every URL and referrer is
// stored once, however many maps and records name it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "registry/dictionary.h"

namespace quill::LinkStatistics {

void ResetLinkStatistics();

// Each Add is refused with DuplicateKey, leaving every map as it was, when the URL is registered
// already (in the target map or, through the referrer map, under another verdict). The reason is
// kept beside the verdict, apart from the maps the report is written from.
void AddValidLink(std::string_view url, int loadTime, std::string_view referrer,
                  std::string_view reason = "");
void AddBrokenLink(std::string_view url, int loadTime, std::string_view referrer,
                   std::string_view reason = "");
void AddSkippedLink(std::string_view url, std::string_view referrer, std::string_view reason = "");
bool IsValidLink(std::string_view url);
bool IsBrokenLink(std::string_view url);
bool IsSkippedLink(std::string_view url);

void AddOpenPage(std::string_view url);
// Refused with MissingKey when the URL is not open.
void RemoveOpenPage(std::string_view url);
bool IsOpenPage(std::string_view url);

// Read access for the report and for tests.
const Dictionary<int>& ValidLinks();
const Dictionary<int>& BrokenLinks();
// The skipped and open maps hold each URL as its own item, the referrer map the referrer's text.
const Dictionary<std::string_view>& SkippedLinks();
const Dictionary<std::string_view>& Referrers();
const Dictionary<std::string_view>& OpenPages();

// What the registry keeps beside each verdict, for the front ends: why it was given, in words a
// webmaster understands ("" when none was kept), and every page that refers to the URL in walk
// order, the registered referrer first (empty for a URL without a verdict).
std::string ReasonOf(std::string_view url);
std::vector<std::string> ReferrersOf(std::string_view url);
// A page refers to a URL the run has met already (judged, or open on the path of the recursion):
// kept once per page, beside the first referrer, which stays the registered one.
void AddFurtherReferrer(std::string_view url, std::string_view referrer);

// What else the crawl knew when it gave a verdict, for the front ends: the HTTP status the probe
// got (none without a response or a probe), the load time in milliseconds and what referred to the
// URL ("link", "image", "start", ...). Kept apart from the maps the report is written from.
struct VerdictDetails {
    std::optional<int> status;
    int loadMilliseconds = 0;
    std::string kind;
};
// Ignored for a URL without a verdict.
void SetVerdictDetails(std::string_view url, VerdictDetails details);
// Empty details for a URL without any.
VerdictDetails DetailsOf(std::string_view url);

// Writes the link section of the report: header line, then broken, skipped and valid records.
void WriteLinkReport(std::ostream& file);

}  // namespace quill::LinkStatistics
