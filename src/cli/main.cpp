// quillorbane-cli: reads the command line, runs one crawl on the live components with the terminal
// front end, prints the result lists and writes the report file.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <vector>

#include "advisories/syntax_checker.h"
#include "cli/cli_options.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/json_results.h"
#include "cli/printable.h"
#include "cli/terminal_front_end.h"
#include "crawl/crawl.h"
#include "crawl/report_file.h"
#include "crawl/verdict_reasons.h"
#include "platform/curl_url.h"
#include "platform/start_location.h"
#include "live/live_services.h"
#include "scope/visit_control.h"

namespace {

int Fail(int status, const std::string& message) {
    std::cerr << "quillorbane-cli: " << quill::cli::Printable(message) << "\n";
    return status;
}

int UsageFailure(const std::string& message) {
    std::cerr << "quillorbane-cli: " << quill::cli::Printable(message) << "\n"
              << "Try 'quillorbane-cli --help' for more information.\n";
    return quill::cli::kExitUsage;
}

std::string ReportFailure(const std::string& path, const std::string& reason) {
    return "cannot write the report file '" + path + "': " + reason;
}

std::string OutputFailure(const std::string& path, const std::string& reason) {
    return "cannot write the output file '" + path + "': " + reason;
}

// Whether a file (the report or the output) can be created, found out before a long crawl and
// without leaving a trace: a file made for the test is removed again, an existing one is not
// truncated.
std::string ReportPathProblem(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return "";
    }
    if (errno == EEXIST) {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return "";
        }
    }
    return std::strerror(errno);
}

// Why a start URL cannot start a crawl: a scheme the crawl does not follow, or text libcurl cannot
// parse as a URL; "" when it can.
std::string StartProblem(const std::string& url) {
    if (const std::string problem = quill::StartURLProblem(url); !problem.empty()) {
        return "'" + url + "': " + problem;
    }
    quill::platform::CurlUrl handle;
    if (!handle) {
        return "out of memory";
    }
    if (const CURLUcode rc = handle.Set(CURLUPART_URL, url); rc != CURLUE_OK) {
        return "'" + url + "' is not a URL that can be crawled: " + curl_url_strerror(rc);
    }
    return "";
}

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quill;
    using namespace quill::cli;
    UseOneHeapForAllThreads();

    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.command) {
        case CliCommand::kHelp:
            std::cout << UsageText();
            return kExitClean;
        case CliCommand::kVersion:
            std::cout << VersionText();
            return kExitClean;
        case CliCommand::kUsageError:
            return UsageFailure(parsed.error);
        case CliCommand::kCrawl:
            break;
    }
    const CliOptions& options = parsed.options;
    for (const std::string& warning : parsed.warnings) {
        std::cerr << "quillorbane-cli: warning: " << Printable(warning) << "\n";
    }

    const StartLocation start = ResolveStartLocation(options.startUrl);
    if (!start.error.empty()) {
        return UsageFailure(start.error);
    }
    if (const std::string problem = StartProblem(start.url); !problem.empty()) {
        return UsageFailure(problem);
    }
    const std::string baseUrl = options.baseUrl.value_or(VisitControl::BaseURLOf(start.url));
    if (!options.reportPath.empty()) {
        if (const std::string problem = ReportPathProblem(options.reportPath); !problem.empty()) {
            return Fail(kExitReport, ReportFailure(options.reportPath, problem));
        }
    }
    if (!options.outputPath.empty()) {
        if (const std::string problem = ReportPathProblem(options.outputPath); !problem.empty()) {
            return Fail(kExitReport, OutputFailure(options.outputPath, problem));
        }
    }

    // As the window's exclusion controls leave the list before a Start.
    VisitControl::ClearExcludedExtensions();
    for (const std::string& extension : options.excludedExtensions) {
        VisitControl::AddExcludedExtension(extension);
    }

    InterruptRequests::InstallHandler();
    InterruptRequests requests;
    InterruptibleSleeper sleeper(requests);
    ProgressLine progress(std::cerr, ::isatty(STDERR_FILENO) == 1, TerminalWidth());
    TerminalFrontEnd frontEnd(options, start.url, baseUrl, progress);
    InterruptPump pump(requests,
                       [&] { return frontEnd.Caption(CaptionControl::btnStartStop) == "Stop"; });

    LookAheadSettings lookAhead;
    lookAhead.enabled = options.lookAhead;
    lookAhead.connections = options.connections.value_or(lookAhead.connections);
    lookAhead.connectionsPerHost =
        options.connectionsPerHost.value_or(lookAhead.connectionsPerHost);
    std::unique_ptr<LiveComponents> live;
    try {
        InterruptsHeldBack heldBack;
        live = std::make_unique<LiveComponents>(lookAhead);
    } catch (const std::exception& e) {
        return Fail(kExitRunFailure, std::string("cannot start the crawl: ") + e.what());
    }
    live->Engine().SetRequestIdentity(options.userAgent, start.url, options.headers);
    std::vector<std::regex> skipPatterns;
    for (const std::string& pattern : options.skipPatterns) {
        skipPatterns.emplace_back(pattern, std::regex::ECMAScript);
    }
    CrawlServices services = live->Services(sleeper, pump);
    if (!skipPatterns.empty()) {
        services.skip = std::make_shared<const std::function<bool(const std::string&)>>(
            [patterns = std::move(skipPatterns)](const std::string& url) {
                return std::any_of(patterns.begin(), patterns.end(), [&url](const std::regex& re) {
                    return std::regex_search(url, re);
                });
            });
    }
    Crawl crawl(frontEnd, std::move(services));
    RunFacts facts{
        start.url, baseUrl, UtcNow(), "", lookAhead.connections, lookAhead.connectionsPerHost};
    pump.SetStopEntry([&] {
        progress.Announce(
            InterruptRequests::FirstSignal() == SIGINT
                ? "quillorbane-cli: stopping; press Ctrl-C again to quit at once"
                : "quillorbane-cli: stopping on a signal; a second one quits at once");
        crawl.btnStartStop_Click();
    });
    crawl.btnStartStop_Click();
    progress.Clear();
    facts.endedAt = UtcNow();

    for (const std::string& failure : frontEnd.RunFailures()) {
        std::cerr << "quillorbane-cli: " << Printable(failure) << "\n";
    }
    std::string reportProblem;
    if (!options.reportPath.empty()) {
        reportProblem = SaveReport(options.reportPath);
    }
    std::ofstream outputFile;
    if (!options.outputPath.empty()) {
        outputFile.open(options.outputPath, std::ios::out | std::ios::trunc);
    }
    std::ostream& out = options.outputPath.empty() ? std::cout : outputFile;
    if (options.json) {
        WriteJsonResults(out, options, facts, frontEnd);
    } else {
        WriteResults(out, frontEnd, static_cast<int>(SyntaxChecker::AdvisoryCount()),
                     reportProblem.empty() ? options.reportPath : "", options.quiet);
    }
    if (!options.outputPath.empty()) {
        outputFile.close();
    }
    const bool outputFailed = !out;

    if (!reportProblem.empty()) {
        std::cerr << "quillorbane-cli: "
                  << Printable(ReportFailure(options.reportPath, reportProblem)) << "\n";
    }
    if (outputFailed) {
        std::cerr << "quillorbane-cli: "
                  << Printable(options.outputPath.empty()
                                   ? std::string("cannot write the results to standard output")
                                   : OutputFailure(options.outputPath, "the write failed"))
                  << "\n";
    }
    return ExitStatusFor(RunOutcome{!reportProblem.empty() || outputFailed, pump.StopSignal(),
                                    !frontEnd.RunFailures().empty(), crawl.State().brokenCount});
}
