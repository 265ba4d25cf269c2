// Fakes for running a crawl without a network or a display: a front end that records every call,
// a browser, transfer control and page loader answering from tables, a clock that only moves when
// the sleeper sleeps, and a pump that can act at its Nth pass (click Stop, untick a box...).
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "crawl/crawl.h"
#include "crawl/crawl_front_end.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/document.h"
#include "platform/transfer_control.h"
#include "platform/wait.h"

namespace quill::crawl_test {

class FakeFrontEnd final : public CrawlFrontEnd {
  public:
    FakeFrontEnd();

    std::string Text(TextControl control) override { return texts[control]; }
    bool Value(CheckControl control) override { return values[control]; }
    std::string Caption(CaptionControl control) override { return captions[control]; }
    void SetCaption(CaptionControl control, const std::string& caption) override;
    void AddToList(ListControl list, const std::string& entry) override;
    void ClearList(ListControl list) override;
    int MaximumDepth() override { return maximumDepth; }
    void ShowRunFailure(const std::string& message) override;

    // Every caption, list and failure call, in order: "lblDepth=1", "+lstGoodLinks http://a/",
    // "clear lstGoodLinks", "failure The crawl...".
    std::vector<std::string> log;
    std::map<TextControl, std::string> texts;
    std::map<CheckControl, bool> values;
    std::map<CaptionControl, std::string> captions;
    std::map<ListControl, std::vector<std::string>> lists;  // in the order added
    int maximumDepth = 0;
    std::vector<std::string> failures;
    // Runs on every AddToList, after the entry is added (e.g. to fail at a chosen moment).
    std::function<void(ListControl, const std::string&)> onAdd;
};

class FakeClock final : public platform::Clock {
  public:
    TimePoint Now() const override { return now; }
    int UtcDayOfMonth() const override { return 15; }
    void Advance(int milliseconds) { now += std::chrono::milliseconds(milliseconds); }
    TimePoint now{};
};

class FakeSleeper final : public platform::Sleeper {
  public:
    explicit FakeSleeper(FakeClock& clock) : clock_(clock) {}
    void Sleep(int milliseconds) override { ++sleeps, clock_.Advance(milliseconds); }
    int sleeps = 0;

  private:
    FakeClock& clock_;
};

class FakePump final : public platform::EventPump {
  public:
    void PumpEvents() override;
    // Runs action at the pump with this number (1 = the first pump of the run).
    void At(int pumpNumber, std::function<void()> action) { actions_[pumpNumber] = action; }

  private:
    int pumps_ = 0;
    std::map<int, std::function<void()>> actions_;
};

struct BrowserPage {
    std::string location;  // "" = the URL navigated to
    std::shared_ptr<const platform::Document> document{};
    int incompletePolls = 0;  // ReadyState reads that say "loading" before "complete"
};

class FakeBrowser final : public platform::Browser {
  public:
    void SetSilent(bool) override {}
    void SetOffline(bool) override {}
    void Navigate(const std::string& url) override;
    int ReadyState() override;
    std::string LocationURL() override { return location_; }
    std::shared_ptr<const platform::Document> GetDocument() override { return document_; }

    std::map<std::string, BrowserPage> pages;  // other URLs fail: "about:neterror"
    std::vector<std::string> navigations;

  private:
    std::string location_ = "about:blank";
    std::shared_ptr<const platform::Document> document_ =
        platform::Document::NotHtml("about:blank");
    int incompletePolls_ = 0;
};

struct ProbeAnswer {
    std::string header;
    int failures = 0;  // Execute throws this many times first; -1: always
};

class FakeTransferControl final : public platform::TransferControl {
  public:
    void Execute(const std::string& url, const std::string& operation) override;
    bool StillExecuting() override { return false; }
    std::string GetHeader() override { return header_; }

    std::map<std::string, ProbeAnswer> answers;  // unknown URLs get no response
    std::vector<std::string> probes;             // URLs in the order probed

  private:
    std::string header_;
};

// Loads the browser's pages at once.
class FakePageLoader final : public platform::PageLoader {
  public:
    explicit FakePageLoader(const FakeBrowser& browser) : browser_(browser) {}
    std::shared_ptr<platform::PageLoad> Load(const std::string& url) override;

  private:
    const FakeBrowser& browser_;
};

// Builds a document by hand, element by element.
class DocumentBuilder {
  public:
    explicit DocumentBuilder(std::string url = "") { document_.url = std::move(url); }
    DocumentBuilder& Title(std::string title) { return (document_.title = title, *this); }
    DocumentBuilder& Image(std::string src, std::string outerHTML = "<img alt=x width=1 height=1>",
                           std::string alt = "x") {
        return Add(document_.images,
                   {std::move(src), std::move(alt), platform::MarkupMentions::In(outerHTML), {}});
    }
    DocumentBuilder& Script(std::string src) { return Add(document_.scripts, {std::move(src)}); }
    // hash is taken from href; the markup carries an alt text unless given.
    DocumentBuilder& Link(std::string href, std::string outerHTML = "<a alt=x></a>",
                          std::string tagName = "A");
    DocumentBuilder& Frame(std::string href) { return Add(document_.frames, {std::move(href)}); }
    DocumentBuilder& Form(std::string action) { return Add(document_.forms, {std::move(action)}); }
    std::shared_ptr<const platform::Document> Build() const {
        return std::make_shared<const platform::Document>(document_);
    }

  private:
    template <typename Element>
    DocumentBuilder& Add(std::vector<Element>& collection, Element element) {
        collection.push_back(std::move(element));
        return *this;
    }
    platform::Document document_;
};

// The fakes wired to one Crawl, with a site described page by page.
class CrawlRig {
  public:
    CrawlRig();

    // A page the browser and loader show (under its own address unless location is given), that
    // answers the probe with 200 OK.
    void Page(const std::string& url, std::shared_ptr<const platform::Document> document,
              int incompletePolls = 0, const std::string& location = "");
    // A file that answers the probe with 200 OK; a URL that answers it with 404.
    void File(const std::string& url) { inet->answers[url] = {"HTTP/1.1 200 OK\r\n\r\n"}; }
    void Missing(const std::string& url) {
        inet->answers[url] = {"HTTP/1.1 404 Not Found\r\n\r\n"};
    }

    // Fills the start and base URL boxes as the window does (base = up to the last "/") and
    // clicks Start.
    void Run(const std::string& startURL);

    FakeFrontEnd frontEnd;
    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePump pump;
    FakeBrowser browser;
    std::shared_ptr<FakeTransferControl> inet = std::make_shared<FakeTransferControl>();
    FakePageLoader pageLoader{browser};
    // The crawl's skip test; none when empty.
    std::function<bool(const std::string&)> skip;
    Crawl crawl;
};

// The registry's maps as plain URL lists, in insertion order.
std::vector<std::string> ValidKeys();
std::vector<std::string> BrokenKeys();
std::vector<std::string> OpenPages();
// The report file's lines without their CR LF (a line without one fails the test), the load time
// of every valid and broken line written "T": it depends on the machine.
std::vector<std::string> MaskedReport();

// Stands in for the one-second sleep of the waits in crawls of loopback sites: returns after a few
// milliseconds, so the crawl polls often. Verdicts never depend on it as long as the page time-out
// is one no loopback load reaches.
class PollingSleeper final : public platform::Sleeper {
  public:
    void Sleep(int) override { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }
};

}  // namespace quill::crawl_test
