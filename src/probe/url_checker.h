// The URL probe: does a URL answer a HEAD request with "200 OK"? One request at a time through the
// transfer control handed over at each Start; while it waits it sleeps a second at a time and
// pumps the front end's events.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/transfer_control.h"
#include "platform/wait.h"

namespace quill::URLChecker {

void SetInetControl(std::shared_ptr<platform::TransferControl> control);
// False when no control has been set.
bool IsURLReachable(const std::string& url, platform::Sleeper& sleeper, platform::EventPump& pump);
// Why the last IsURLReachable answered as it did, in a webmaster's words ("200 OK",
// "404 Not Found", "no response"), and the HTTP status code it got, if any.
std::string LastProbeReason();
std::optional<int> LastProbeStatus();

// The status-line pattern "HTTP/?.? 200 OK*", anchored at the first character, case-sensitive,
// each "?" exactly one character.
bool MatchesOkStatusLine(const std::string& headerBlock);

}  // namespace quill::URLChecker
