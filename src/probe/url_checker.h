// The URL probe: does a URL answer with status 200? One HEAD request at a time through the
// transfer control handed over at each Start (a GET when the server refuses HEAD, again after a
// rate limit's wait); while it waits it sleeps a second at a time, ending early when the answer
// comes, and pumps the front end's events.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/transfer_control.h"
#include "platform/wait.h"

namespace quill::URLChecker {

// Also ends the stop of an earlier run.
void SetInetControl(std::shared_ptr<platform::TransferControl> control);
// How long each request may take; 0 or less: the control's standard 60 seconds.
void SetRequestTimeout(int seconds);
// Stop: the request in flight is cancelled, and every probe from now until the next
// SetInetControl answers false, for the reason "stopped", without a request.
void Stop();

// True when the URL answered with status 200, whatever the HTTP version and reason phrase. A HEAD
// answered with 405 or 501 is asked again with GET; 429 and 503 are asked again after the wait
// their Retry-After asks for (at most 60 s, at most 3 times). False when no control has been set.
bool IsURLReachable(const std::string& url, platform::Sleeper& sleeper, platform::EventPump& pump);
// Why the last IsURLReachable answered as it did, in a webmaster's words ("200 OK",
// "404 Not Found", "no response"), and the HTTP status code it got, if any.
std::string LastProbeReason();
std::optional<int> LastProbeStatus();

// Why the last IsURLReachable answered as it did: "200 OK", "404 Not Found",
// "301 Moved Permanently → https://example.test/new/", "connection refused",
// "timed out after 60 s", "stopped", "429 Too Many Requests after 3 retries"...
std::string LastProbeReason();
// The status code the last IsURLReachable judged by; none when there was no response.
std::optional<int> LastProbeStatus();

// A header block whose status line carries the code 200, whatever its version and reason phrase.
bool MatchesOkStatusLine(const std::string& headerBlock);

}  // namespace quill::URLChecker
