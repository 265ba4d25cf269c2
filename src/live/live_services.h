// The real platform components a front end runs the crawl on: the libcurl transfer engine, the
// look-ahead that fetches ahead of the walk over it, our web browser and the transfer control the
// URL probe drives (both over the look-ahead), and the system clock. A front end owns one
// LiveComponents for as long as its Crawl and hands Services() to the Crawl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crawl/crawl.h"
#include "live/live_web_rules.h"
#include "lookahead/look_ahead.h"
#include "platform/clock.h"
#include "platform/curl_transfer_engine.h"
#include "platform/scratch_file.h"
#include "platform/transfer_control.h"
#include "platform/wait.h"
#include "platform/web_browser.h"

namespace quill {

// How the crawl uses the network: with or without the look-ahead, and how much of it.
struct LookAheadSettings {
    bool enabled = true;
    // Connections open at once, in all and to one host (values below 1 count as 1); the limits
    // hold for the look-ahead and the walk together.
    int connections = 128;
    int connectionsPerHost = 32;
    // Page bodies the look-ahead holds for the walk in memory, and beyond them in a scratch file.
    std::size_t maxBodyBytes = LookAheadLimits{}.maxBodyBytes;
    std::uint64_t maxAsideBytes = std::uint64_t{1} << 30;
};

// Has every thread allocate from one heap (glibc): the crawl's threads hand pages and answers to
// one another, and a heap per thread keeps what another thread freed. Called first thing in main.
void UseOneHeapForAllThreads();

class LiveComponents {
  public:
    explicit LiveComponents(LookAheadSettings lookAhead = {});

    LiveComponents(const LiveComponents&) = delete;
    LiveComponents& operator=(const LiveComponents&) = delete;

    // What a Crawl needs, over these components; the front end brings its own sleep and pump.
    CrawlServices Services(platform::Sleeper& sleeper, platform::EventPump& pump);

    platform::CurlTransferEngine& Engine() { return engine_; }
    // The browser, e.g. to show the page it loads: SetObserver on it.
    platform::WebBrowser& Browser() { return browser_; }
    const platform::Clock& Clock() const { return clock_; }
    // Null when the look-ahead is off.
    LookAhead* LookAheadOrNull() { return lookAhead_.get(); }
    const LookAheadSettings& Settings() const { return settings_; }

  private:
    static std::unique_ptr<LookAhead> MakeLookAhead(platform::CurlTransferEngine& engine,
                                                    const platform::Clock& clock,
                                                    const LiveWebRules& rules,
                                                    const LookAheadSettings& settings,
                                                    platform::ScratchFile& aside);
    // What the browser and the probe start their requests through.
    platform::TransferEngine& WalkEngine();

    const LookAheadSettings settings_;
    // Declared in this order: each component uses those above it until it is gone.
    platform::CurlTransferEngine engine_;
    platform::SystemClock clock_;
    LiveWebRules rules_;
    platform::ScratchFile aside_;
    std::unique_ptr<LookAhead> lookAhead_;
    platform::WebBrowser browser_;
    std::shared_ptr<platform::EngineTransferControl> inet_;
};

}  // namespace quill
