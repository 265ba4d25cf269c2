// The results of a run as one JSON document, for scripts: the run's facts, every URL with its
// verdict in the order the verdicts were given, and the markup advisories.
#pragma once

#include <ostream>
#include <string>

#include "cli/cli_options.h"
#include "cli/terminal_front_end.h"

namespace quill::cli {

// What the command line knows of a run beside its front end.
struct RunFacts {
    std::string startUrl;
    std::string baseUrl;
    std::string startedAt;  // UTC, ISO 8601
    std::string endedAt;
    int connections = 0;  // in effect for fetching ahead
    int connectionsPerHost = 0;
};

// The UTC time now as ISO 8601 to the second: "2026-12-07T05:18:18Z".
std::string UtcNow();

// Text that is not UTF-8 is written with U+FFFD for every bad byte; header values are left out
// (they may hold credentials), their names are kept.
void WriteJsonResults(std::ostream& out, const CliOptions& options, const RunFacts& facts,
                      const TerminalFrontEnd& frontEnd);

}  // namespace quill::cli
