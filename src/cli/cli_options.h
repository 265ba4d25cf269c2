// The command line of quillorbane-cli: its options, read into the values the window's controls
// would hold. Pure: reads only the argument list, so every option and every bad value is testable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scope/visit_control.h"

namespace quill::cli {

struct CliOptions {
    std::string startUrl;
    // Empty optional: derived from the start URL as the window derives it.
    std::optional<std::string> baseUrl;
    int timeoutSeconds = 60;
    int maxDepth = 0;  // 0 = unlimited
    bool external = true;
    bool images = true;
    bool applets = true;
    bool scriptsAndStyles = true;
    bool links = true;
    bool frames = true;
    bool forms = true;
    std::vector<std::string> excludedExtensions = VisitControl::DefaultExcludedExtensions();
    std::string reportPath;  // empty: no report file
    // Fetching ahead of the walk; the counts are left to the crawl's defaults unless given.
    bool lookAhead = true;
    std::optional<int> connections;
    std::optional<int> connectionsPerHost;
    // ECMAScript regular expressions: a found URL any of them matches is skipped, not requested.
    std::vector<std::string> skipPatterns;
    std::string userAgent;  // empty: the program's own
    // "Name: value" lines sent with every request to the start URL's host.
    std::vector<std::string> headers;
    bool quiet = false;  // only the broken links and a summary line
    bool json = false;   // the results as one JSON document instead of text
    std::string outputPath;  // where the results go; empty: standard output
};

enum class CliCommand { kCrawl, kHelp, kVersion, kUsageError };

struct ParsedCommandLine {
    CliCommand command = CliCommand::kCrawl;
    CliOptions options;
    // For kUsageError: one line naming the bad option or value, without the program name.
    std::string error;
    // Options that are allowed but probably not what the user meant, one line each.
    std::vector<std::string> warnings;
};

// args excludes the program name. Options and the start URL may come in any order; "--" ends
// the options; "--name=value" and "--name value" are both accepted. --help and --version win
// over whatever follows them.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();
std::string VersionText();

}  // namespace quill::cli
