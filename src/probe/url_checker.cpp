#include "probe/url_checker.h"

#include <string_view>
#include <utility>

namespace quill::URLChecker {
namespace {

std::shared_ptr<platform::TransferControl>& InetControl() {
    static std::shared_ptr<platform::TransferControl> control;
    return control;
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
    return MatchesOkStatusLine(control->GetHeader());
}

bool MatchesOkStatusLine(const std::string& headerBlock) {
    // "HTTP/", one character, ".", one character, " 200 OK", then anything.
    const std::string_view block = headerBlock;
    return block.size() >= 15 && block.substr(0, 5) == "HTTP/" && block[6] == '.' &&
           block.substr(8, 7) == " 200 OK";
}

}  // namespace quill::URLChecker
