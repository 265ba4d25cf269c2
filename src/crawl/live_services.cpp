#include "crawl/live_services.h"

namespace quill {

LiveComponents::LiveComponents()
    : browser_(engine_, clock_), inet_(std::make_shared<platform::EngineTransferControl>(engine_)) {}

CrawlServices LiveComponents::Services(platform::Sleeper& sleeper, platform::EventPump& pump) {
    return CrawlServices{browser_, inet_, browser_, clock_, sleeper, pump, [this](bool allowed) {
                             engine_.SetFileAccess(allowed);
                         }};
}

}  // namespace quill
