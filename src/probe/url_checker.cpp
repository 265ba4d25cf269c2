#include "probe/url_checker.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <utility>

#include "platform/curl_url.h"

namespace quill::URLChecker {
namespace {

constexpr int kPollMilliseconds = 1000;
constexpr int kPumpsPerPoll = 3;
constexpr int kMaxRetries = 3;
constexpr int kLongestRetryWaitSeconds = 60;
// Waited before asking again when a rate limit names no time.
constexpr int kDefaultRetryWaitSeconds = 1;

struct ProbeState {
    std::shared_ptr<platform::TransferControl> control;
    // The control a probe is waiting on, so that Stop can cancel its request.
    std::shared_ptr<platform::TransferControl> busy;
    int timeoutSeconds = 0;
    bool stopped = false;
    // Marked by Stop: ends the waits between retries.
    std::shared_ptr<platform::Completion> stop = std::make_shared<platform::Completion>();
    std::string reason;
    std::optional<int> status;
};

ProbeState& State() {
    static ProbeState state;
    return state;
}

void PumpThreeTimes(platform::EventPump& pump) {
    for (int i = 0; i < kPumpsPerPoll; ++i) {
        pump.PumpEvents();
    }
}

// Sends one request and waits for it; false when Stop came meanwhile.
bool Request(platform::TransferControl& control, const std::string& url,
             const std::string& operation, platform::Sleeper& sleeper, platform::EventPump& pump) {
    control.SetRequestTimeout(State().timeoutSeconds);
    control.Execute(url, operation);
    const std::shared_ptr<platform::Completion> done = control.RequestDone();
    while (control.StillExecuting()) {
        sleeper.SleepUntil(kPollMilliseconds, *done);
        PumpThreeTimes(pump);
        if (State().stopped) {
            return false;  // Stop has cancelled the request
        }
    }
    return true;
}

// Whole seconds of sleep and pumps, cut short by Stop; false when Stop came.
bool WaitSeconds(int seconds, platform::Sleeper& sleeper, platform::EventPump& pump) {
    for (int i = 0; i < seconds && !State().stopped; ++i) {
        sleeper.SleepUntil(kPollMilliseconds, *State().stop);
        PumpThreeTimes(pump);
    }
    return !State().stopped;
}

// Where a redirect points, made absolute against the URL asked for; "" when it names nothing.
std::string RedirectTarget(const std::string& url, const std::string& header) {
    const std::string location = platform::HeaderField(header, "Location");
    if (location.empty()) {
        return "";
    }
    platform::CurlUrl handle;
    if (!handle || handle.Set(CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK ||
        handle.Set(CURLUPART_URL, location, CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return location;
    }
    return handle.Get(CURLUPART_URL).value_or(location);
}

bool Answer(bool reachable, std::string reason, std::optional<int> status = std::nullopt) {
    State().reason = std::move(reason);
    State().status = status;
    return reachable;
}

}  // namespace

void SetInetControl(std::shared_ptr<platform::TransferControl> control) {
    ProbeState& state = State();
    state.control = std::move(control);
    state.stopped = false;
    state.stop = std::make_shared<platform::Completion>();
}

void SetRequestTimeout(int seconds) {
    State().timeoutSeconds = seconds;
}

void Stop() {
    ProbeState& state = State();
    state.stopped = true;
    state.stop->MarkDone();
    if (state.busy) {
        state.busy->Cancel();
    }
}

bool IsURLReachable(const std::string& url, platform::Sleeper& sleeper, platform::EventPump& pump) {
    // Our own reference: the events pumped below may hand the module another control.
    const std::shared_ptr<platform::TransferControl> control = State().control;
    if (!control) {
        return Answer(false, "no transfer control");
    }
    std::string operation = "HEAD";
    int retries = 0;
    for (;;) {
        if (State().stopped) {
            return Answer(false, "stopped");
        }
        State().busy = control;
        const bool answered = Request(*control, url, operation, sleeper, pump);
        State().busy = nullptr;
        if (!answered) {
            return Answer(false, "stopped");
        }
        const int status = control->GetStatusCode();
        if (operation == "HEAD" && (status == 405 || status == 501)) {
            operation = "GET";  // the server refuses HEAD: its GET answers instead
            continue;
        }
        if (status == 429 || status == 503) {
            if (retries == kMaxRetries) {
                return Answer(false,
                              platform::StatusText(status) + " after " +
                                  std::to_string(kMaxRetries) + " retries",
                              status);
            }
            ++retries;
            if (!WaitSeconds(
                    platform::RetryAfterSeconds(control->GetHeader(), kLongestRetryWaitSeconds),
                    sleeper, pump)) {
                return Answer(false, "stopped");
            }
            continue;
        }
        if (status == 0) {
            const std::string failure = control->GetFailure();
            return Answer(false, failure.empty() ? "no response" : failure);
        }
        std::string reason = platform::StatusText(status);
        if (status >= 300 && status < 400) {
            if (const std::string target = RedirectTarget(url, control->GetHeader());
                !target.empty()) {
                reason += " \u2192 " + target;
            }
        }
        return Answer(status == 200, reason, status);
    }
}

std::string LastProbeReason() {
    return State().reason;
}

std::optional<int> LastProbeStatus() {
    return State().status;
}

bool MatchesOkStatusLine(const std::string& headerBlock) {
    return platform::StatusCodeOf(headerBlock) == 200;
}

}  // namespace quill::URLChecker
