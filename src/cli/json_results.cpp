#include "cli/json_results.h"

#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "advisories/syntax_checker.h"
#include "platform/curl_transfer_engine.h"
#include "registry/link_statistics.h"

namespace quill::cli {

namespace {

using Json = nlohmann::ordered_json;

Json OptionsInEffect(const CliOptions& options, const RunFacts& facts) {
    Json headerNames = Json::array();
    for (const std::string& header : options.headers) {
        headerNames.push_back(header.substr(0, header.find(':')));
    }
    return {
        {"timeoutSeconds", options.timeoutSeconds},
        {"maxDepth", options.maxDepth},
        {"external", options.external},
        {"images", options.images},
        {"applets", options.applets},
        {"scriptsAndStyles", options.scriptsAndStyles},
        {"links", options.links},
        {"frames", options.frames},
        {"forms", options.forms},
        {"excludedExtensions", options.excludedExtensions},
        {"skip", options.skipPatterns},
        {"userAgent",
         options.userAgent.empty() ? platform::CurlTransferEngine::kUserAgent : options.userAgent},
        {"headers", headerNames},
        {"lookAhead", options.lookAhead},
        {"connections", facts.connections},
        {"connectionsPerHost", facts.connectionsPerHost},
        {"report", options.reportPath.empty() ? Json() : Json(options.reportPath)},
        {"quiet", options.quiet},
        {"format", options.json ? "json" : "text"},
        {"output", options.outputPath.empty() ? Json() : Json(options.outputPath)},
    };
}

const char* EndName(RunEnd how) {
    switch (how) {
        case RunEnd::kFinished:
            return "finished";
        case RunEnd::kStopped:
            return "stopped";
        case RunEnd::kFailed:
            break;
    }
    return "failed";
}

const char* VerdictOf(std::string_view url) {
    if (LinkStatistics::IsBrokenLink(url)) {
        return "broken";
    }
    return LinkStatistics::IsSkippedLink(url) ? "skipped" : "valid";
}

int LoadSecondsOf(std::string_view url) {
    if (LinkStatistics::IsBrokenLink(url)) {
        return LinkStatistics::BrokenLinks().At(url);
    }
    return LinkStatistics::IsValidLink(url) ? LinkStatistics::ValidLinks().At(url) : 0;
}

// Writes `value` as a whole document's dump would show it `depth` levels in: from where the
// caller has put it, its further lines indented to that depth.
void WriteIndented(std::ostream& out, const Json& value, int depth) {
    const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
    const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        out.write(text.data() + start, static_cast<std::streamsize>(end + 1 - start));
        out << indent;
    }
    out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

// An array member of the document written item by item, laid out as the document's dump would
// lay it out, so that a run of any size is never held whole as JSON.
class MemberArray {
  public:
    explicit MemberArray(std::ostream& out) : out_(out) {}
    void Add(const Json& item) {
        out_ << (items_++ == 0 ? "[\n" : ",\n") << "    ";
        WriteIndented(out_, item, 2);
    }
    void End() { out_ << (items_ == 0 ? "[]" : "\n  ]"); }

  private:
    std::ostream& out_;
    std::size_t items_ = 0;
};

void WriteUrls(std::ostream& out) {
    MemberArray urls(out);
    // The referrer map holds every URL with a verdict, in the order the verdicts were given.
    for (const auto& entry : LinkStatistics::Referrers()) {
        const std::string_view url = entry.key;
        const LinkStatistics::VerdictDetails details = LinkStatistics::DetailsOf(url);
        // The start URL's registered referrer is empty: no page refers to it.
        std::vector<std::string> referrers = LinkStatistics::ReferrersOf(url);
        std::erase(referrers, std::string());
        urls.Add({
            {"url", url},
            {"verdict", VerdictOf(url)},
            {"reason", LinkStatistics::ReasonOf(url)},
            {"status", details.status ? Json(*details.status) : Json()},
            {"loadSeconds", LoadSecondsOf(url)},
            {"loadMilliseconds", details.loadMilliseconds},
            {"kind", details.kind},
            {"referrers", referrers},
        });
    }
    urls.End();
}

void WriteAdvisories(std::ostream& out) {
    MemberArray advisories(out);
    for (std::size_t i = 0; i < SyntaxChecker::AdvisoryCount(); ++i) {
        const SyntaxChecker::Advisory advisory = SyntaxChecker::AdvisoryAt(i);
        // The subject names the element, then its URL: "Image <src>", "Anchor <url>".
        const std::size_t space = advisory.subject.find(' ');
        const std::string_view href =
            space == std::string::npos ? advisory.subject : advisory.subject.substr(space + 1);
        advisories.Add(
            {{"href", href}, {"page", advisory.referrer}, {"message", advisory.message}});
    }
    advisories.End();
}

}  // namespace

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[sizeof "2026-12-07T05:18:18Z"] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void WriteJsonResults(std::ostream& out, const CliOptions& options, const RunFacts& facts,
                      const TerminalFrontEnd& frontEnd) {
    Json run = {
        {"version", QUILL_VERSION},
        {"startUrl", facts.startUrl},
        {"baseUrl", facts.baseUrl},
        {"options", OptionsInEffect(options, facts)},
        {"startedAt", facts.startedAt},
        {"endedAt", facts.endedAt},
        {"ended", EndName(frontEnd.HowEnded())},
    };
    if (frontEnd.HowEnded() == RunEnd::kFailed) {
        const std::string line = frontEnd.RunEndLine();
        run["failure"] = line.substr(line.find(": ") + 2);
    }
    run["counts"] = {
        {"valid", LinkStatistics::ValidLinks().Count()},
        {"broken", LinkStatistics::BrokenLinks().Count()},
        {"skipped", LinkStatistics::SkippedLinks().Count()},
        {"advisories", SyntaxChecker::AdvisoryCount()},
    };
    // {"run": ..., "urls": [...], "advisories": [...]}, the lists written as they are read.
    out << "{\n  \"run\": ";
    WriteIndented(out, run, 1);
    out << ",\n  \"urls\": ";
    WriteUrls(out);
    out << ",\n  \"advisories\": ";
    WriteAdvisories(out);
    out << "\n}\n" << std::flush;
}

}  // namespace quill::cli
