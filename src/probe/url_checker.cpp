#include "probe/url_checker.h"

#include <string_view>
#include <utility>

namespace quill::URLChecker {
namespace {

std::shared_ptr<platform::TransferControl>& InetControl() {
    static std::shared_ptr<platform::TransferControl> control;
    return control;
}

struct ProbeOutcome {
    std::string reason = "no response";
    std::optional<int> status;
};

ProbeOutcome& LastOutcome() {
    static ProbeOutcome outcome;
    return outcome;
}

// The status line's code and text ("404 Not Found"), from the header block's first line.
ProbeOutcome OutcomeOf(const std::string& headerBlock) {
    ProbeOutcome outcome;
    const std::string line = headerBlock.substr(0, headerBlock.find_first_of("\r\n"));
    const std::size_t blank = line.find(' ');
    if (line.rfind("HTTP/", 0) != 0 || blank == std::string::npos) {
        return outcome;
    }
    const std::string rest = line.substr(blank + 1);
    if (rest.size() >= 3 && rest.find_first_not_of("0123456789") >= 3) {
        outcome.status = std::stoi(rest.substr(0, 3));
        outcome.reason = rest;
    }
    return outcome;
}

constexpr int kPollMilliseconds = 1000;
constexpr int kPumpsPerPoll = 3;

}  // namespace

void SetInetControl(std::shared_ptr<platform::TransferControl> control) {
    InetControl() = std::move(control);
}

bool IsURLReachable(const std::string& url, platform::Sleeper& sleeper, platform::EventPump& pump) {
    // Our own reference: the events pumped below may hand the module another control.
    const std::shared_ptr<platform::TransferControl> control = InetControl();
    LastOutcome() = ProbeOutcome{};
    if (!control) {
        return false;
    }
    control->Execute(url, "HEAD");
    while (control->StillExecuting()) {
        sleeper.Sleep(kPollMilliseconds);
        for (int i = 0; i < kPumpsPerPoll; ++i) {
            pump.PumpEvents();
        }
    }
    const std::string header = control->GetHeader();
    LastOutcome() = OutcomeOf(header);
    const bool ok = MatchesOkStatusLine(header);
    if (ok) {
        LastOutcome().reason = "200 OK";
    }
    return ok;
}

std::string LastProbeReason() {
    return LastOutcome().reason;
}

std::optional<int> LastProbeStatus() {
    return LastOutcome().status;
}

bool MatchesOkStatusLine(const std::string& headerBlock) {
    // "HTTP/", one character, ".", one character, " 200 OK", then anything.
    const std::string_view block = headerBlock;
    return block.size() >= 15 && block.substr(0, 5) == "HTTP/" && block[6] == '.' &&
           block.substr(8, 7) == " 200 OK";
}

}  // namespace quill::URLChecker
