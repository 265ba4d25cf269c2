#include "crawl_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <utility>

#include "crawl/report_file.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"

namespace quill::crawl_test {
namespace {

// The names in the order of the enumerators.
std::string NameOf(CaptionControl control) {
    static const char* const kNames[] = {
        "btnStartStop",          "lblDocHref",         "lblDocTitle",      "lblDepth",
        "lblNumSuccessfulLinks", "lblNumSkippedLinks", "lblNumBrokenLinks"};
    return kNames[static_cast<int>(control)];
}

std::string NameOf(ListControl control) {
    static const char* const kNames[] = {"lstGoodLinks", "lstSkippedLinks", "lstBrokenLinks"};
    return kNames[static_cast<int>(control)];
}

}  // namespace

FakeFrontEnd::FakeFrontEnd() {
    texts[TextControl::txtTmOut] = "60";
    for (int box = 0; box <= static_cast<int>(CheckControl::chkForms); ++box) {
        values[static_cast<CheckControl>(box)] = true;
    }
    captions[CaptionControl::btnStartStop] = "Start";
}

void FakeFrontEnd::SetCaption(CaptionControl control, const std::string& caption) {
    captions[control] = caption;
    log.push_back(NameOf(control) + "=" + caption);
}

void FakeFrontEnd::AddToList(ListControl list, const std::string& entry) {
    lists[list].push_back(entry);
    log.push_back("+" + NameOf(list) + " " + entry);
    if (onAdd) {
        onAdd(list, entry);
    }
}

void FakeFrontEnd::ClearList(ListControl list) {
    lists[list].clear();
    log.push_back("clear " + NameOf(list));
}

void FakeFrontEnd::ShowRunFailure(const std::string& message) {
    failures.push_back(message);
    log.push_back("failure " + message);
}

void FakePump::PumpEvents() {
    if (const auto action = actions_.find(++pumps_); action != actions_.end()) {
        const std::function<void()> run = action->second;  // may replace the actions
        run();
    }
}

void FakeBrowser::Navigate(const std::string& url) {
    navigations.push_back(url);
    const auto found = pages.find(url);
    const BrowserPage page =
        found != pages.end() ? found->second
                             : BrowserPage{url == "about:blank" ? url : "about:neterror", nullptr};
    location_ = page.location.empty() ? url : page.location;
    document_ = page.document ? page.document : platform::Document::NotHtml(location_);
    incompletePolls_ = page.incompletePolls;
}

int FakeBrowser::ReadyState() {
    return incompletePolls_-- > 0 ? 1 : kReadyStateComplete;
}

void FakeTransferControl::Execute(const std::string& url, const std::string& operation) {
    if (operation != "HEAD") {
        throw std::logic_error("probe with " + operation);
    }
    probes.push_back(url);
    const auto answer = answers.find(url);
    header_.clear();
    if (answer != answers.end() && answer->second.failures != 0) {
        answer->second.failures -= answer->second.failures > 0 ? 1 : 0;
        throw std::runtime_error("transfer engine failed on " + url);
    }
    if (answer != answers.end()) {
        header_ = answer->second.header;
    }
}

namespace {

class FakePageLoad final : public platform::PageLoad {
  public:
    explicit FakePageLoad(BrowserPage page) : page_(std::move(page)) {}
    bool Complete() override { return true; }
    std::string LocationURL() override { return page_.location; }
    std::shared_ptr<const platform::Document> GetDocument() override { return page_.document; }
    int DurationSeconds() override { return 0; }

  private:
    BrowserPage page_;
};

}  // namespace

std::shared_ptr<platform::PageLoad> FakePageLoader::Load(const std::string& url) {
    const auto found = browser_.pages.find(url);
    BrowserPage page =
        found != browser_.pages.end() ? found->second : BrowserPage{"about:neterror"};
    page.location = page.location.empty() ? url : page.location;
    page.document = page.document ? page.document : platform::Document::NotHtml(url);
    return std::make_shared<FakePageLoad>(std::move(page));
}

DocumentBuilder& DocumentBuilder::Link(std::string href, std::string outerHTML,
                                       std::string tagName) {
    const std::size_t hash = href.find('#');
    std::string fragment =
        hash != std::string::npos && hash + 1 < href.size() ? href.substr(hash) : "";
    document_.links.emplace_back(std::move(href), fragment, tagName == "AREA",
                                 platform::MarkupMentions::In(outerHTML));
    return *this;
}

CrawlRig::CrawlRig()
    : crawl(frontEnd,
            CrawlServices{browser, inet, pageLoader, clock, sleeper, pump, [](bool) {}, nullptr,
                          std::make_shared<const std::function<bool(const std::string&)>>(
                              [this](const std::string& url) { return skip && skip(url); })}) {
    VisitControl::ClearExcludedExtensions();
}

void CrawlRig::Page(const std::string& url, std::shared_ptr<const platform::Document> document,
                    int incompletePolls, const std::string& location) {
    browser.pages[url] = BrowserPage{location, document, incompletePolls};
    File(url);
}

void CrawlRig::Run(const std::string& startURL) {
    const bool hasPath = std::count(startURL.begin(), startURL.end(), '/') > 2;
    frontEnd.texts[TextControl::txtStartURL] = startURL;
    frontEnd.texts[TextControl::txtBaseURL] =
        hasPath ? startURL.substr(0, startURL.rfind('/') + 1) : startURL;
    crawl.btnStartStop_Click();
}

namespace {

template <typename Map>
std::vector<std::string> KeysOf(const Map& map) {
    std::vector<std::string> keys;
    for (const auto& entry : map) {
        keys.emplace_back(entry.key);
    }
    return keys;
}

}  // namespace

std::vector<std::string> ValidKeys() {
    return KeysOf(LinkStatistics::ValidLinks());
}
std::vector<std::string> BrokenKeys() {
    return KeysOf(LinkStatistics::BrokenLinks());
}
std::vector<std::string> OpenPages() {
    return KeysOf(LinkStatistics::OpenPages());
}

std::vector<std::string> MaskedReport() {
    std::ostringstream file;
    WriteReport(file);
    std::vector<std::string> lines;
    std::istringstream in(file.str());
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "not a CR LF line: " << line;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("\"valid\",", 0) == 0 || line.rfind("\"broken\",", 0) == 0) {
            const std::size_t first = line.find(',');
            const std::size_t second = line.find(',', first + 1);
            line.replace(first + 1, second - first - 1, "T");
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace quill::crawl_test
