#include "cli/json_results.h"

#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>
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

Json Urls() {
    Json urls = Json::array();
    // The referrer map holds every URL with a verdict, in the order the verdicts were given.
    for (const auto& entry : LinkStatistics::Referrers()) {
        const std::string_view url = entry.key;
        const LinkStatistics::VerdictDetails details = LinkStatistics::DetailsOf(url);
        // The start URL's registered referrer is empty: no page refers to it.
        std::vector<std::string> referrers = LinkStatistics::ReferrersOf(url);
        std::erase(referrers, std::string());
        urls.push_back({
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
    return urls;
}

Json Advisories() {
    Json advisories = Json::array();
    for (std::size_t i = 0; i < SyntaxChecker::AdvisoryCount(); ++i) {
        const SyntaxChecker::Advisory advisory = SyntaxChecker::AdvisoryAt(i);
        // The subject names the element, then its URL: "Image <src>", "Anchor <url>".
        const std::size_t space = advisory.subject.find(' ');
        const std::string_view href =
            space == std::string::npos ? advisory.subject : advisory.subject.substr(space + 1);
        advisories.push_back(
            {{"href", href}, {"page", advisory.referrer}, {"message", advisory.message}});
    }
    return advisories;
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
    const Json document = {{"run", run}, {"urls", Urls()}, {"advisories", Advisories()}};
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << "\n" << std::flush;
}

}  // namespace quill::cli
