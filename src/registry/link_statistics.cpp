#include "registry/link_statistics.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "registry/report_record.h"
#include "registry/text_table.h"

namespace quill::LinkStatistics {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Pairs of (URL id, page id), each packed into one 64-bit number, so the test is exact. Open
// addressing, never more than three quarters full.
class ReferralSet {
  public:
    // False when the pair is in the set already.
    bool Insert(TextTable::Id url, TextTable::Id page) {
        if ((count_ + 1) * 4 > slots_.size() * 3) {
            Grow();
        }
        const std::uint64_t pair = (std::uint64_t{url} << 32) | page;
        std::uint64_t& slot = slots_[SlotOf(pair)];
        if (slot == pair) {
            return false;
        }
        slot = pair;
        ++count_;
        return true;
    }

    void Clear() {
        slots_ = {};
        count_ = 0;
    }

  private:
    // No pair of ids is all ones: a table never holds 2^32 - 1 texts.
    static constexpr std::uint64_t kFree = std::numeric_limits<std::uint64_t>::max();

    std::size_t SlotOf(std::uint64_t pair) const {
        // The finaliser of splitmix64, so that neighbouring ids spread over the table.
        std::uint64_t hash = pair;
        hash = (hash ^ (hash >> 30)) * 0xbf58476d1ce4e5b9ULL;
        hash = (hash ^ (hash >> 27)) * 0x94d049bb133111ebULL;
        hash ^= hash >> 31;
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = static_cast<std::size_t>(hash) & mask;
        while (slots_[slot] != kFree && slots_[slot] != pair) {
            slot = (slot + 1) & mask;
        }
        return slot;
    }

    void Grow() {
        const std::vector<std::uint64_t> old = std::exchange(slots_, {});
        slots_.assign(std::max<std::size_t>(64, old.size() * 2), kFree);
        for (const std::uint64_t pair : old) {
            if (pair != kFree) {
                slots_[SlotOf(pair)] = pair;
            }
        }
    }

    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
};

// What the registry keeps beside a URL's verdict for the front ends, one record per URL id.
struct SideRecord {
    TextTable::Id reason = kNone;  // in the notes table
    TextTable::Id kind = kNone;    // in the notes table; kNone: no details kept
    std::optional<int> status;
    int loadMilliseconds = 0;
    // The further referrers in walk order: a chain through the referral list.
    std::uint32_t firstReferral = kNone;
    std::uint32_t lastReferral = kNone;
};

struct Referral {
    TextTable::Id page;
    std::uint32_t next = kNone;
};

struct Registry {
    // Every URL and referrer, once; the maps and records name them by id.
    TextTable urls;
    Dictionary<int> validLinks{urls};
    Dictionary<std::string_view> openPages{urls};
    Dictionary<int> brokenLinks{urls};
    Dictionary<std::string_view> skippedLinks{urls};
    Dictionary<std::string_view> referrers{urls};
    // Side records for the front ends; the report is written from the maps above alone.
    TextTable notes;  // reasons and kinds: a handful of sentences, each kept once
    std::deque<SideRecord> records;
    std::deque<Referral> referrals;
    ReferralSet referralsKept;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

TextTable::Id InternUrl(std::string_view url) {
    Registry& registry = TheRegistry();
    const TextTable::Id id = registry.urls.Intern(url);
    if (registry.records.size() <= id) {
        registry.records.resize(id + 1);
    }
    return id;
}

const SideRecord* RecordOf(std::string_view url) {
    const Registry& registry = TheRegistry();
    const std::optional<TextTable::Id> id = registry.urls.Find(url);
    return id ? &registry.records[*id] : nullptr;
}

// A verdict about to be recorded, its texts interned.
struct NewVerdict {
    TextTable::Id url;
    TextTable::Id referrer;
    TextTable::Id reason;
};

// Every URL with a verdict has exactly one referrer entry, so a URL already in the referrer map
// is refused before any map is written: a verdict is recorded whole or not at all.
NewVerdict StartVerdict(std::string_view url, std::string_view referrer, std::string_view reason) {
    Registry& registry = TheRegistry();
    const TextTable::Id id = InternUrl(url);
    if (registry.referrers.Contains(id)) {
        throw DuplicateKey(url);
    }
    return {id, InternUrl(referrer), registry.notes.Intern(reason)};
}

void FinishVerdict(const NewVerdict& verdict) {
    Registry& registry = TheRegistry();
    registry.referrers.Add(verdict.url, registry.urls.Text(verdict.referrer));
    registry.records[verdict.url].reason = verdict.reason;
}

void WriteVerdict(std::ostream& file, const char* status, int loadTime, std::string_view url) {
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
    registry.notes.Clear();
    registry.records = {};
    registry.referrals = {};
    registry.referralsKept.Clear();
    registry.urls.Clear();
}

void AddValidLink(std::string_view url, int loadTime, std::string_view referrer,
                  std::string_view reason) {
    const NewVerdict verdict = StartVerdict(url, referrer, reason);
    TheRegistry().validLinks.Add(verdict.url, loadTime);
    FinishVerdict(verdict);
}

void AddBrokenLink(std::string_view url, int loadTime, std::string_view referrer,
                   std::string_view reason) {
    const NewVerdict verdict = StartVerdict(url, referrer, reason);
    TheRegistry().brokenLinks.Add(verdict.url, loadTime);
    FinishVerdict(verdict);
}

void AddSkippedLink(std::string_view url, std::string_view referrer, std::string_view reason) {
    Registry& registry = TheRegistry();
    const NewVerdict verdict = StartVerdict(url, referrer, reason);
    registry.skippedLinks.Add(verdict.url, registry.urls.Text(verdict.url));
    FinishVerdict(verdict);
}

bool IsValidLink(std::string_view url) {
    return TheRegistry().validLinks.Contains(url);
}
bool IsBrokenLink(std::string_view url) {
    return TheRegistry().brokenLinks.Contains(url);
}
bool IsSkippedLink(std::string_view url) {
    return TheRegistry().skippedLinks.Contains(url);
}

void AddOpenPage(std::string_view url) {
    Registry& registry = TheRegistry();
    const TextTable::Id id = InternUrl(url);
    registry.openPages.Add(id, registry.urls.Text(id));
}
void RemoveOpenPage(std::string_view url) {
    TheRegistry().openPages.Remove(url);
}
bool IsOpenPage(std::string_view url) {
    return TheRegistry().openPages.Contains(url);
}

const Dictionary<int>& ValidLinks() {
    return TheRegistry().validLinks;
}
const Dictionary<int>& BrokenLinks() {
    return TheRegistry().brokenLinks;
}
const Dictionary<std::string_view>& SkippedLinks() {
    return TheRegistry().skippedLinks;
}
const Dictionary<std::string_view>& Referrers() {
    return TheRegistry().referrers;
}
const Dictionary<std::string_view>& OpenPages() {
    return TheRegistry().openPages;
}

std::string ReasonOf(std::string_view url) {
    const SideRecord* record = RecordOf(url);
    if (record == nullptr || record->reason == kNone) {
        return "";
    }
    return std::string(TheRegistry().notes.Text(record->reason));
}

std::vector<std::string> ReferrersOf(std::string_view url) {
    const Registry& registry = TheRegistry();
    const std::optional<TextTable::Id> id = registry.urls.Find(url);
    if (!id || !registry.referrers.Contains(*id)) {
        return {};
    }
    const std::string_view registered = registry.referrers.At(*id);
    std::vector<std::string> pages = {std::string(registered)};
    for (std::uint32_t at = registry.records[*id].firstReferral; at != kNone;
         at = registry.referrals[at].next) {
        // A further sighting may have come while the URL was open, before its verdict.
        const std::string_view page = registry.urls.Text(registry.referrals[at].page);
        if (page != registered) {
            pages.emplace_back(page);
        }
    }
    return pages;
}

void AddFurtherReferrer(std::string_view url, std::string_view referrer) {
    Registry& registry = TheRegistry();
    const TextTable::Id id = InternUrl(url);
    const TextTable::Id page = InternUrl(referrer);
    // The registered referrer is kept already.
    if (registry.referrers.Contains(id) && registry.referrers.At(id) == registry.urls.Text(page)) {
        return;
    }
    if (!registry.referralsKept.Insert(id, page)) {
        return;
    }
    registry.referrals.push_back(Referral{page});
    const auto added = static_cast<std::uint32_t>(registry.referrals.size() - 1);
    SideRecord& record = registry.records[id];
    if (record.lastReferral == kNone) {
        record.firstReferral = added;
    } else {
        registry.referrals[record.lastReferral].next = added;
    }
    record.lastReferral = added;
}

void SetVerdictDetails(std::string_view url, VerdictDetails details) {
    Registry& registry = TheRegistry();
    const std::optional<TextTable::Id> id = registry.urls.Find(url);
    if (!id || !registry.referrers.Contains(*id)) {
        return;
    }
    SideRecord& record = registry.records[*id];
    record.kind = registry.notes.Intern(details.kind);
    record.status = details.status;
    record.loadMilliseconds = details.loadMilliseconds;
}

VerdictDetails DetailsOf(std::string_view url) {
    const SideRecord* record = RecordOf(url);
    if (record == nullptr || record->kind == kNone) {
        return {};
    }
    return {record->status, record->loadMilliseconds,
            std::string(TheRegistry().notes.Text(record->kind))};
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
