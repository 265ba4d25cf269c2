// The real platform components a front end runs the crawl on: the libcurl transfer engine, our web
// browser over it, the transfer control the URL probe drives and the system clock. A front end
// owns one LiveComponents for as long as its Crawl and hands Services() to the Crawl.
#pragma once

#include <memory>

#include "crawl/crawl.h"
#include "platform/clock.h"
#include "platform/curl_transfer_engine.h"
#include "platform/transfer_control.h"
#include "platform/wait.h"
#include "platform/web_browser.h"

namespace quill {

class LiveComponents {
  public:
    LiveComponents();

    LiveComponents(const LiveComponents&) = delete;
    LiveComponents& operator=(const LiveComponents&) = delete;

    // What a Crawl needs, over these components; the front end brings its own sleep and pump.
    CrawlServices Services(platform::Sleeper& sleeper, platform::EventPump& pump);

    platform::CurlTransferEngine& Engine() { return engine_; }
    // The browser, e.g. to show the page it loads: SetObserver on it.
    platform::WebBrowser& Browser() { return browser_; }
    const platform::Clock& Clock() const { return clock_; }

  private:
    // Declared first: the browser and the control use the engine and the clock until they are
    // gone.
    platform::CurlTransferEngine engine_;
    platform::SystemClock clock_;
    platform::WebBrowser browser_;
    std::shared_ptr<platform::EngineTransferControl> inet_;
};

}  // namespace quill
