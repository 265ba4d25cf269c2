#include "registry/link_statistics.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "registry/report_record.h"

namespace quill::LinkStatistics {
namespace {

struct Registry {
    Dictionary<int> validLinks;
    Dictionary<std::string> openPages;
    Dictionary<int> brokenLinks;
    Dictionary<std::string> skippedLinks;
    Dictionary<std::string> referrers;
    // Side records for the front ends; the report is written from the maps above alone.
    std::map<std::string, std::string> reasons;
    std::map<std::string, std::vector<std::string>> furtherReferrers;
    std::set<std::pair<std::string, std::string>> referralsKept;
    std::map<std::string, VerdictDetails> details;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Every URL with a verdict has exactly one referrer entry, so a URL already in the referrer map
// is refused before any map is written: a verdict is recorded whole or not at all.
template <typename Item>
void AddVerdict(Dictionary<Item>& verdicts, const std::string& url, Item item,
                const std::string& referrer, const std::string& reason) {
    Registry& registry = TheRegistry();
    if (registry.referrers.Contains(url)) {
        throw DuplicateKey(url);
    }
    verdicts.Add(url, std::move(item));
    registry.referrers.Add(url, referrer);
    registry.reasons[url] = reason;
    registry.referralsKept.emplace(url, referrer);
}

void WriteVerdict(std::ostream& file, const char* status, int loadTime, const std::string& url) {
    WriteReportRecord(file,
                      {ReportTextField(status), std::to_string(loadTime), ReportTextField(url),
                       ReportTextField(TheRegistry().referrers.At(url))});
}

}  // namespace

void ResetLinkStatistics() {
    Registry& registry = TheRegistry();
    registry.validLinks.Clear();
    registry.openPages.Clear();
    registry.brokenLinks.Clear();
    registry.skippedLinks.Clear();
    registry.referrers.Clear();
    registry.reasons.clear();
    registry.furtherReferrers.clear();
    registry.referralsKept.clear();
    registry.details.clear();
}

void AddValidLink(const std::string& url, int loadTime, const std::string& referrer,
                  const std::string& reason) {
    AddVerdict(TheRegistry().validLinks, url, loadTime, referrer, reason);
}

void AddBrokenLink(const std::string& url, int loadTime, const std::string& referrer,
                   const std::string& reason) {
    AddVerdict(TheRegistry().brokenLinks, url, loadTime, referrer, reason);
}

void AddSkippedLink(const std::string& url, const std::string& referrer,
                    const std::string& reason) {
    AddVerdict(TheRegistry().skippedLinks, url, url, referrer, reason);
}

bool IsValidLink(const std::string& url) {
    return TheRegistry().validLinks.Contains(url);
}
bool IsBrokenLink(const std::string& url) {
    return TheRegistry().brokenLinks.Contains(url);
}
bool IsSkippedLink(const std::string& url) {
    return TheRegistry().skippedLinks.Contains(url);
}

void AddOpenPage(const std::string& url) {
    TheRegistry().openPages.Add(url, url);
}
void RemoveOpenPage(const std::string& url) {
    TheRegistry().openPages.Remove(url);
}
bool IsOpenPage(const std::string& url) {
    return TheRegistry().openPages.Contains(url);
}

const Dictionary<int>& ValidLinks() {
    return TheRegistry().validLinks;
}
const Dictionary<int>& BrokenLinks() {
    return TheRegistry().brokenLinks;
}
const Dictionary<std::string>& SkippedLinks() {
    return TheRegistry().skippedLinks;
}
const Dictionary<std::string>& Referrers() {
    return TheRegistry().referrers;
}
const Dictionary<std::string>& OpenPages() {
    return TheRegistry().openPages;
}

std::string ReasonOf(const std::string& url) {
    const auto& reasons = TheRegistry().reasons;
    const auto found = reasons.find(url);
    return found == reasons.end() ? "" : found->second;
}

std::vector<std::string> ReferrersOf(const std::string& url) {
    const Registry& registry = TheRegistry();
    if (!registry.referrers.Contains(url)) {
        return {};
    }
    std::vector<std::string> pages = {registry.referrers.At(url)};
    const auto further = registry.furtherReferrers.find(url);
    if (further != registry.furtherReferrers.end()) {
        for (const std::string& page : further->second) {
            // A further sighting may have come while the URL was open, before its verdict.
            if (page != pages.front()) {
                pages.push_back(page);
            }
        }
    }
    return pages;
}

void AddFurtherReferrer(const std::string& url, const std::string& referrer) {
    Registry& registry = TheRegistry();
    if (registry.referralsKept.emplace(url, referrer).second) {
        registry.furtherReferrers[url].push_back(referrer);
    }
}

void SetVerdictDetails(const std::string& url, VerdictDetails details) {
    Registry& registry = TheRegistry();
    if (registry.referrers.Contains(url)) {
        registry.details[url] = std::move(details);
    }
}

VerdictDetails DetailsOf(const std::string& url) {
    const auto& details = TheRegistry().details;
    const auto found = details.find(url);
    return found == details.end() ? VerdictDetails{} : found->second;
}

void WriteLinkReport(std::ostream& file) {
    WriteReportRecord(file, {ReportTextField("link status"), ReportTextField("time to load"),
                             ReportTextField("link href"), ReportTextField("referer")});
    const Registry& registry = TheRegistry();
    for (const auto& [url, loadTime] : registry.brokenLinks) {
        WriteVerdict(file, "broken", loadTime, url);
    }
    // The skipped-link map keeps no load time.
    for (const auto& skipped : registry.skippedLinks) {
        WriteVerdict(file, "skipped", 0, skipped.key);
    }
    for (const auto& [url, loadTime] : registry.validLinks) {
        WriteVerdict(file, "valid", loadTime, url);
    }
}

}  // namespace quill::LinkStatistics
