#include "live/live_services.h"

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quill {

void UseOneHeapForAllThreads() {
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 1);
#endif
}

LiveComponents::LiveComponents(LookAheadSettings lookAhead)
    : settings_(lookAhead),
      aside_(settings_.maxAsideBytes),
      lookAhead_(MakeLookAhead(engine_, clock_, rules_, settings_, aside_)),
      browser_(WalkEngine(), clock_),
      inet_(std::make_shared<platform::EngineTransferControl>(WalkEngine())) {
    engine_.SetConnectionLimits(std::max(1, settings_.connections),
                                std::max(1, settings_.connectionsPerHost));
}

std::unique_ptr<LookAhead> LiveComponents::MakeLookAhead(platform::CurlTransferEngine& engine,
                                                         const platform::Clock& clock,
                                                         const LiveWebRules& rules,
                                                         const LookAheadSettings& settings,
                                                         platform::ScratchFile& aside) {
    if (!settings.enabled) {
        return nullptr;
    }
    LookAheadLimits limits;
    limits.connections = std::max(1, settings.connections);
    limits.connectionsPerHost = std::max(1, settings.connectionsPerHost);
    limits.maxBodyBytes = settings.maxBodyBytes;
    return std::make_unique<LookAhead>(engine, clock, rules, limits, &aside);
}

platform::TransferEngine& LiveComponents::WalkEngine() {
    if (lookAhead_) {
        return *lookAhead_;
    }
    return engine_;
}

CrawlServices LiveComponents::Services(platform::Sleeper& sleeper, platform::EventPump& pump) {
    return CrawlServices{browser_,
                         inet_,
                         browser_,
                         clock_,
                         sleeper,
                         pump,
                         [this](bool allowed) { engine_.SetFileAccess(allowed); },
                         lookAhead_.get()};
}

}  // namespace quill
