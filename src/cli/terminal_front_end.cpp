#include "cli/terminal_front_end.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "cli/printable.h"
#include "crawl/result_list_order.h"
#include "registry/link_statistics.h"

namespace quill::cli {

namespace {

std::string OrZero(const std::string& count) {
    return count.empty() ? "0" : count;
}

// The registry's URL behind each "url <- referrer" entry of the skipped or broken list.
template <typename Item>
std::map<std::string, std::string> UrlsOfEntries(const Dictionary<Item>& verdicts) {
    std::map<std::string, std::string> urls;
    for (const auto& verdict : verdicts) {
        const std::string url(verdict.key);
        urls.emplace(url + " <- " + std::string(LinkStatistics::Referrers().At(url)), url);
    }
    return urls;
}

// One skipped or broken entry: the line with its reason, then a line per further referrer.
void WriteEntry(std::ostream& out, const std::string& indent, const std::string& entry,
                const std::map<std::string, std::string>& urls) {
    out << indent << Printable(entry);
    const auto url = urls.find(entry);
    if (url == urls.end()) {
        out << "\n";
        return;
    }
    if (const std::string reason = LinkStatistics::ReasonOf(url->second); !reason.empty()) {
        out << " [" << Printable(reason) << "]";
    }
    out << "\n";
    const std::vector<std::string> referrers = LinkStatistics::ReferrersOf(url->second);
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

void TerminalFrontEnd::AddToList(ListControl list, const std::string& entry) {
    lists_[list].push_back(entry);
}

void TerminalFrontEnd::ClearList(ListControl list) {
    lists_[list].clear();
}

int TerminalFrontEnd::MaximumDepth() {
    return options_.maxDepth;
}

void TerminalFrontEnd::ShowRunFailure(const std::string& message) {
    runFailures_.push_back(message);
}

std::vector<std::string> TerminalFrontEnd::SortedList(ListControl list) const {
    const auto it = lists_.find(list);
    if (it == lists_.end()) {
        return {};
    }
    std::vector<std::string> sorted = it->second;
    std::stable_sort(sorted.begin(), sorted.end(), ResultListLess);
    return sorted;
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
    const auto entries = lists_.find(list);
    return std::to_string(entries == lists_.end() ? 0 : entries->second.size());
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
    const std::map<std::string, std::string> brokenUrls =
        UrlsOfEntries(LinkStatistics::BrokenLinks());
    if (quiet) {
        for (const std::string& entry : frontEnd.SortedList(ListControl::lstBrokenLinks)) {
            WriteEntry(out, "", entry, brokenUrls);
        }
        out << Printable(frontEnd.RunEndLine()) << " ("
            << frontEnd.Count(ListControl::lstBrokenLinks) << " broken, "
            << frontEnd.Count(ListControl::lstGoodLinks) << " successful, "
            << frontEnd.Count(ListControl::lstSkippedLinks) << " skipped, " << advisories
            << " advisories)\n"
            << std::flush;
        return;
    }
    const std::map<std::string, std::string> skippedUrls =
        UrlsOfEntries(LinkStatistics::SkippedLinks());
    const std::map<std::string, std::string> noUrls;
    const std::tuple<const char*, ListControl, const std::map<std::string, std::string>&>
        sections[] = {
            {"Successful Links", ListControl::lstGoodLinks, noUrls},
            {"Skipped Links", ListControl::lstSkippedLinks, skippedUrls},
            {"Broken Links", ListControl::lstBrokenLinks, brokenUrls},
        };
    for (const auto& [caption, list, urls] : sections) {
        out << caption << ": " << frontEnd.Count(list) << "\n";
        for (const std::string& entry : frontEnd.SortedList(list)) {
            WriteEntry(out, "  ", entry, urls);
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
