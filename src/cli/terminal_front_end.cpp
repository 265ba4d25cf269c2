#include "cli/terminal_front_end.h"

#include <algorithm>
#include <string_view>
#include <tuple>
#include <vector>

#include "cli/printable.h"
#include "crawl/result_list_order.h"
#include "registry/link_statistics.h"

namespace quill::cli {

namespace {

std::string OrZero(const std::string& count) {
    return count.empty() ? "0" : count;
}

// One entry of a result list as the window shows it: a successful entry is its URL, a skipped or
// broken one "url <- referrer".
struct ListEntry {
    std::string_view url;
    std::string withReferrer;  // skipped and broken entries only
    bool hasReferrer = false;
    std::string_view Text() const { return hasReferrer ? withReferrer : url; }
};

// A list in the window's order, made from the registry, which keeps every verdict of the run.
template <typename Item>
std::vector<ListEntry> SortedList(const Dictionary<Item>& verdicts, bool hasReferrer) {
    std::vector<ListEntry> entries;
    entries.reserve(static_cast<std::size_t>(verdicts.Count()));
    for (const auto& verdict : verdicts) {
        ListEntry& entry = entries.emplace_back(ListEntry{verdict.key, {}, hasReferrer});
        if (hasReferrer) {
            entry.withReferrer = std::string(verdict.key) + " <- " +
                                 std::string(LinkStatistics::Referrers().At(verdict.key));
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const ListEntry& a, const ListEntry& b) {
        return ResultListLess(a.Text(), b.Text());
    });
    return entries;
}

// One entry; a skipped or broken one with its reason, then a line per further referrer.
void WriteEntry(std::ostream& out, const std::string& indent, const ListEntry& entry) {
    out << indent << Printable(entry.Text());
    if (!entry.hasReferrer) {
        out << "\n";
        return;
    }
    if (const std::string reason = LinkStatistics::ReasonOf(entry.url); !reason.empty()) {
        out << " [" << Printable(reason) << "]";
    }
    out << "\n";
    const std::vector<std::string> referrers = LinkStatistics::ReferrersOf(entry.url);
    for (std::size_t i = 1; i < referrers.size(); ++i) {
        out << indent << " <- " << Printable(referrers[i]) << "\n";
    }
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool enabled, int width)
    : out_(out), enabled_(enabled), width_(width) {}

std::string ProgressLine::Format(const std::string& url, const std::string& depth,
                                 const std::string& successful, const std::string& skipped,
                                 const std::string& broken, int width) {
    std::string line = "depth " + OrZero(depth) + " | " + OrZero(successful) + " successful, " +
                       OrZero(skipped) + " skipped, " + OrZero(broken) + " broken";
    if (url.empty()) {
        return line.substr(0, static_cast<std::size_t>(std::max(width - 1, 0)));
    }
    line += " | ";
    // One column stays free, so the cursor never wraps to a new line.
    const int room = width - 1 - static_cast<int>(line.size());
    const std::string ellipsis = "...";
    if (room >= static_cast<int>(url.size())) {
        return line + url;
    }
    if (room > static_cast<int>(ellipsis.size())) {
        return line + ellipsis + url.substr(url.size() - (room - ellipsis.size()));
    }
    return line.substr(0, static_cast<std::size_t>(std::max(width - 1, 0)));
}

void ProgressLine::Show(const std::string& url, const std::string& depth,
                        const std::string& successful, const std::string& skipped,
                        const std::string& broken) {
    if (!enabled_) {
        return;
    }
    line_ = Format(Printable(url), depth, successful, skipped, broken, width_);
    // Carriage return, the text, then erase whatever an earlier, longer line left.
    out_ << '\r' << line_ << "\x1b[K" << std::flush;
    shown_ = true;
}

void ProgressLine::Announce(const std::string& message) {
    if (shown_) {
        out_ << "\r\x1b[K" << message << "\n\r" << line_ << "\x1b[K" << std::flush;
    } else {
        out_ << message << "\n" << std::flush;
    }
}

void ProgressLine::Clear() {
    if (enabled_ && shown_) {
        out_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
}

TerminalFrontEnd::TerminalFrontEnd(const CliOptions& options, std::string startUrl,
                                   std::string baseUrl, ProgressLine& progress)
    : options_(options),
      startUrl_(std::move(startUrl)),
      baseUrl_(std::move(baseUrl)),
      progress_(progress) {
    captions_[CaptionControl::btnStartStop] = "Start";
}

std::string TerminalFrontEnd::Text(TextControl control) {
    switch (control) {
        case TextControl::txtStartURL:
            return startUrl_;
        case TextControl::txtBaseURL:
            return baseUrl_;
        case TextControl::txtTmOut:
            break;
    }
    return std::to_string(options_.timeoutSeconds);
}

bool TerminalFrontEnd::Value(CheckControl control) {
    switch (control) {
        case CheckControl::chkExternal:
            return options_.external;
        case CheckControl::chkImages:
            return options_.images;
        case CheckControl::chkApplets:
            return options_.applets;
        case CheckControl::chkJSStyle:
            return options_.scriptsAndStyles;
        case CheckControl::chkLinks:
            return options_.links;
        case CheckControl::chkFrames:
            return options_.frames;
        case CheckControl::chkForms:
            break;
    }
    return options_.forms;
}

std::string TerminalFrontEnd::Caption(CaptionControl control) {
    const auto it = captions_.find(control);
    return it == captions_.end() ? "" : it->second;
}

void TerminalFrontEnd::SetCaption(CaptionControl control, const std::string& caption) {
    captions_[control] = caption;
    if (control != CaptionControl::btnStartStop && control != CaptionControl::lblDocTitle) {
        ShowProgress();
    }
}

// The registry keeps every entry the lists would hold; they are printed from it at the end.
void TerminalFrontEnd::AddToList(ListControl, const std::string&) {}

void TerminalFrontEnd::ClearList(ListControl) {}

int TerminalFrontEnd::MaximumDepth() {
    return options_.maxDepth;
}

void TerminalFrontEnd::ShowRunFailure(const std::string& message) {
    runFailures_.push_back(message);
}

std::string TerminalFrontEnd::Count(ListControl list) const {
    CaptionControl label = CaptionControl::lblNumSuccessfulLinks;
    if (list == ListControl::lstSkippedLinks) {
        label = CaptionControl::lblNumSkippedLinks;
    } else if (list == ListControl::lstBrokenLinks) {
        label = CaptionControl::lblNumBrokenLinks;
    }
    const auto caption = captions_.find(label);
    if (caption != captions_.end() && !caption->second.empty()) {
        return caption->second;
    }
    const int count = list == ListControl::lstGoodLinks ? LinkStatistics::ValidLinks().Count()
                      : list == ListControl::lstSkippedLinks
                          ? LinkStatistics::SkippedLinks().Count()
                          : LinkStatistics::BrokenLinks().Count();
    return std::to_string(count);
}

void TerminalFrontEnd::ShowProgress() {
    progress_.Show(Caption(CaptionControl::lblDocHref), Caption(CaptionControl::lblDepth),
                   Caption(CaptionControl::lblNumSuccessfulLinks),
                   Caption(CaptionControl::lblNumSkippedLinks),
                   Caption(CaptionControl::lblNumBrokenLinks));
}

std::string TerminalFrontEnd::RunEndLine() const {
    switch (runEnd_) {
        case RunEnd::kFinished:
            return "Finished";
        case RunEnd::kStopped:
            return "Stopped";
        case RunEnd::kFailed:
            break;
    }
    return "Failed: " + (runFailures_.empty() ? std::string("unknown failure") : runFailures_[0]);
}

void WriteResults(std::ostream& out, const TerminalFrontEnd& frontEnd, int advisories,
                  const std::string& reportPath, bool quiet) {
    if (quiet) {
        for (const ListEntry& entry : SortedList(LinkStatistics::BrokenLinks(), true)) {
            WriteEntry(out, "", entry);
        }
        out << Printable(frontEnd.RunEndLine()) << " ("
            << frontEnd.Count(ListControl::lstBrokenLinks) << " broken, "
            << frontEnd.Count(ListControl::lstGoodLinks) << " successful, "
            << frontEnd.Count(ListControl::lstSkippedLinks) << " skipped, " << advisories
            << " advisories)\n"
            << std::flush;
        return;
    }
    const std::tuple<const char*, ListControl, std::vector<ListEntry>> sections[] = {
        {"Successful Links", ListControl::lstGoodLinks,
         SortedList(LinkStatistics::ValidLinks(), false)},
        {"Skipped Links", ListControl::lstSkippedLinks,
         SortedList(LinkStatistics::SkippedLinks(), true)},
        {"Broken Links", ListControl::lstBrokenLinks,
         SortedList(LinkStatistics::BrokenLinks(), true)},
    };
    for (const auto& [caption, list, entries] : sections) {
        out << caption << ": " << frontEnd.Count(list) << "\n";
        for (const ListEntry& entry : entries) {
            WriteEntry(out, "  ", entry);
        }
        out << "\n";
    }
    out << "Advisories: " << advisories << "\n";
    if (!reportPath.empty()) {
        out << "Report: " << Printable(reportPath) << "\n";
    }
    out << Printable(frontEnd.RunEndLine()) << "\n" << std::flush;
}

}  // namespace quill::cli
