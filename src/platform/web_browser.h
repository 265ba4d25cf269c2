// Our browser component: loads pages through the transfer engine the way a browser does
// (redirects, error pages, character sets), shows one page at a time and gives its document model.
// It has no thread of its own: the transfer runs in the engine, and the browser takes note of its
// progress whenever it is asked (ReadyState, LocationURL, GetDocument), on the caller's thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/transfer_engine.h"

namespace quill::platform {

class EngineFileSizeSource;
class BrowserPageLoad;

class WebBrowser final : public Browser, public PageLoader {
  public:
    // Where a failed load ends.
    static constexpr const char* kErrorPageUrl = "about:neterror";
    // An HTML body is cut here and parsed as received.
    static constexpr std::size_t kMaxHtmlBytes = std::size_t{32} * 1024 * 1024;
    static constexpr int kMaxRedirects = 10;
    static constexpr int kReadyStateLoading = 1;
    static constexpr int kReadyStateInteractive = 3;

    // Both must outlive the browser; documents it built may outlive it.
    WebBrowser(TransferEngine& engine, const Clock& clock);
    // Load durations by the system clock.
    explicit WebBrowser(TransferEngine& engine);
    ~WebBrowser() override;

    WebBrowser(const WebBrowser&) = delete;
    WebBrowser& operator=(const WebBrowser&) = delete;

    void SetSilent(bool silent) override;
    // Offline: no network; http(s) loads fail at once, about:blank and file: pages still load.
    void SetOffline(bool offline) override;
    bool Silent() const { return silent_; }
    bool Offline() const { return offline_; }
    // How long the engine may take over one page load (default 60 seconds); from the next load on.
    void SetLoadTimeoutSeconds(int seconds) override;
    void Stop() override;
    std::shared_ptr<Completion> LoadDone() override;
    std::string LoadFailureReason() override;

    void Navigate(const std::string& url) override;
    // 4 when the page shown is whole; 1 until the response to a Navigate commits, 3 while its body
    // arrives.
    int ReadyState() override;
    std::string LocationURL() override;
    std::shared_ptr<const Document> GetDocument() override;
    Document TakeDocument() override;

    // Told when a load commits and when it completes (with the page as UTF-8 text, "" for a
    // document that is not HTML); null for nobody. Not owned.
    void SetObserver(BrowserObserver* observer);

    // A load with the same rules that leaves the page shown alone.
    std::shared_ptr<PageLoad> Load(const std::string& url) override;

  private:
    // keepHtml: the page's text is kept for the observer.
    std::shared_ptr<BrowserPageLoad> StartLoad(const std::string& url, bool keepHtml) const;
    // Takes note of the current load's progress and tells the observer.
    void Update();

    TransferEngine& engine_;
    const SystemClock systemClock_;
    const Clock& clock_;
    std::shared_ptr<EngineFileSizeSource> sizes_;
    BrowserObserver* observer_ = nullptr;
    bool silent_ = false;
    bool offline_ = false;
    int loadTimeoutSeconds_ = 60;

    // The page shown.
    std::string location_;
    std::shared_ptr<Document> document_;
    int readyState_ = kReadyStateComplete;
    std::string failureReason_;

    // The load under way since the last Navigate, until it completes.
    std::shared_ptr<BrowserPageLoad> current_;
    bool currentCommitted_ = false;
    bool updating_ = false;
};

}  // namespace quill::platform
