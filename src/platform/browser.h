// The browser the crawl drives: Navigate starts a load and returns at once; the caller polls
// ReadyState and then reads LocationURL and the Document. Our own component over the transfer
// engine (WebBrowser) serves the program; tests substitute fakes.
#pragma once

#include <memory>
#include <string>

#include "platform/document.h"
#include "platform/wait.h"

namespace quill::platform {

class Browser {
public:
    static constexpr int kReadyStateComplete = 4;

    virtual ~Browser() = default;

    // Pages may open no dialogs; accepted for compatibility, we never open any.
    virtual void SetSilent(bool silent) = 0;
    // Offline=false: nothing is served from a cache of earlier runs.
    virtual void SetOffline(bool offline) = 0;

    // Starts loading and returns at once; a load in progress is abandoned.
    virtual void Navigate(const std::string& url) = 0;
    virtual int ReadyState() = 0;
    // The address of the document shown: the URL as navigated to, the final URL after redirects,
    // "about:neterror" after a failed load.
    virtual std::string LocationURL() = 0;
    // The document shown (what has arrived so far while loading); never null.
    virtual std::shared_ptr<const Document> GetDocument() = 0;
    // The document shown, handed over to a walk that lets go of its parts as it goes. A browser
    // that holds the only reference keeps just the page's address and title; otherwise the walk
    // gets a copy.
    virtual Document TakeDocument() { return *GetDocument(); }

    // How long one load may take, from the next Navigate on; 0 or less: the standard 60 seconds.
    virtual void SetLoadTimeoutSeconds(int /*seconds*/) {}
    // Stops the load in progress: it completes at once as failed, for the reason "stopped".
    virtual void Stop() {}
    // Marked done when the load the last Navigate started has completed, however it ended, so a
    // wait on it can end early; never, for a browser that cannot tell.
    virtual std::shared_ptr<Completion> LoadDone() { return std::make_shared<Completion>(); }
    // Why the last completed load failed, in words ("404 Not Found", "connection refused",
    // "timed out after 60 s", "stopped"); "" when it did not fail.
    virtual std::string LoadFailureReason() { return ""; }
};

// Told when the shown page changes, so a front end can display it. Called on the thread that
// drives the browser.
class BrowserObserver {
public:
    virtual ~BrowserObserver() = default;
    // The response headers have committed the load to this address.
    virtual void LoadCommitted(const std::string& locationUrl) = 0;
    // The document is whole (or the load failed and shows an error page).
    virtual void LoadCompleted(const std::string& locationUrl, const std::string& html) = 0;
};

// A page load made with the browser's rules (redirects, error pages, charsets) without showing the
// page: the crawl uses it to look for fragments in other pages.
class PageLoad {
public:
    virtual ~PageLoad() = default;
    virtual bool Complete() = 0;
    // "about:neterror" when the load failed.
    virtual std::string LocationURL() = 0;
    virtual std::shared_ptr<const Document> GetDocument() = 0;
    // Whole seconds from the start of the load to its end (or to now).
    virtual int DurationSeconds() = 0;
    // Marked done when the load completes, so a wait for it can end at once.
    virtual std::shared_ptr<Completion> LoadDone() { return std::make_shared<Completion>(); }
};

class PageLoader {
public:
    virtual ~PageLoader() = default;
    virtual std::shared_ptr<PageLoad> Load(const std::string& url) = 0;
};

}  // namespace quill::platform
