// Crawl collaborators for window tests that never reach the network: a browser that shows empty
// pages (or fails, to end a run on a failure), a transfer control that answers nothing, a clock
// with a chosen day of the month.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "crawl/crawl.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/document.h"
#include "platform/transfer_control.h"
#include "platform/wait.h"

namespace quill::ui::testing {

class EmptyPageBrowser final : public platform::Browser {
  public:
    void SetSilent(bool) override {}
    void SetOffline(bool) override {}
    void Navigate(const std::string& url) override {
        if (fails) {
            throw std::runtime_error("the browser is gone");
        }
        location_ = url;
    }
    int ReadyState() override { return kReadyStateComplete; }
    std::string LocationURL() override { return location_; }
    std::shared_ptr<const platform::Document> GetDocument() override {
        return std::make_shared<platform::Document>();
    }

    bool fails = false;

  private:
    std::string location_ = "about:blank";
};

class NoPageLoader final : public platform::PageLoader {
  public:
    std::shared_ptr<platform::PageLoad> Load(const std::string&) override { return nullptr; }
};

class SilentTransferControl final : public platform::TransferControl {
  public:
    void Execute(const std::string&, const std::string&) override {}
    bool StillExecuting() override { return false; }
    std::string GetHeader() override { return ""; }
};

class DayClock final : public platform::Clock {
  public:
    explicit DayClock(int day) : day_(day) {}
    TimePoint Now() const override { return TimePoint{}; }
    int UtcDayOfMonth() const override { return day_; }

  private:
    int day_;
};

// Everything a crawl needs, idle; Services() wraps the window's sleeper and pump around it.
struct IdleCrawlComponents {
    EmptyPageBrowser browser;
    NoPageLoader pageLoader;
    DayClock clock{15};

    CrawlServices Services(platform::Sleeper& sleeper, platform::EventPump& pump) {
        return CrawlServices{
            browser, std::make_shared<SilentTransferControl>(), pageLoader, clock, sleeper, pump};
    }
};

}  // namespace quill::ui::testing
