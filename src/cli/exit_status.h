// The exit status of quillorbane-cli, from how the run went: what a script calling it can tell
// apart, most pressing first.
#pragma once

namespace quill::cli {

enum ExitStatus : int {
    kExitClean = 0,        // no broken link
    kExitBrokenLinks = 1,  // broken links found
    kExitUsage = 2,        // bad command line
    kExitReport = 3,       // the report file cannot be written
    kExitRunFailure = 4,   // the crawl ended early on a failure
    kExitSignalBase = 128  // stopped by a signal: 128 + its number, as the shell reports it
};

struct RunOutcome {
    bool reportFailed = false;
    int stopSignal = 0;  // the signal that stopped the crawl (SIGINT, SIGTERM, SIGHUP); 0 none
    bool runFailed = false;
    int brokenCount = 0;
};

// A lost report outweighs everything (the user asked for it and it is gone); a stopped or failed
// run is incomplete, so its broken count says nothing about the site.
inline ExitStatus ExitStatusFor(const RunOutcome& outcome) {
    if (outcome.reportFailed) {
        return kExitReport;
    }
    if (outcome.stopSignal != 0) {
        return static_cast<ExitStatus>(kExitSignalBase + outcome.stopSignal);
    }
    if (outcome.runFailed) {
        return kExitRunFailure;
    }
    return outcome.brokenCount > 0 ? kExitBrokenLinks : kExitClean;
}

}  // namespace quill::cli
