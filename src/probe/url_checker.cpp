#include "probe/url_checker.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <utility>

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

// The wait a 429 or 503 answer asks for: its Retry-After in seconds or as an HTTP date.
int RetryWaitSeconds(const std::string& header) {
    const std::string value = platform::HeaderField(header, "Retry-After");
    if (value.empty()) {
        return kDefaultRetryWaitSeconds;
    }
    if (value.find_first_not_of("0123456789") == std::string::npos) {
        return value.size() > 4 ? kLongestRetryWaitSeconds
                                : std::min(std::stoi(value), kLongestRetryWaitSeconds);
    }
    const time_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0) {
        return kDefaultRetryWaitSeconds;
    }
    const time_t now = std::time(nullptr);
    return when <= now ? 0
                       : static_cast<int>(std::min<time_t>(when - now, kLongestRetryWaitSeconds));
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
    std::string target = location;
    if (CURLU* handle = curl_url()) {
        char* joined = nullptr;
        if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) ==
                CURLUE_OK &&
            curl_url_set(handle, CURLUPART_URL, location.c_str(), CURLU_NON_SUPPORT_SCHEME) ==
                CURLUE_OK &&
            curl_url_get(handle, CURLUPART_URL, &joined, 0) == CURLUE_OK) {
            target = joined;
        }
        curl_free(joined);
        curl_url_cleanup(handle);
    }
    return target;
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
            if (!WaitSeconds(RetryWaitSeconds(control->GetHeader()), sleeper, pump)) {
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
