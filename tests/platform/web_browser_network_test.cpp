// The browser over the real transfer engine against the loopback server and the local disk:
// redirects and their limit, error statuses, refused connections, non-HTML answers, character
// sets and file: pages. (Crawls of loopback sites run it further.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/curl_transfer_engine.h"
#include "platform/web_browser.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::LoopbackHttpServer;
using test_support::RefusingPort;

// Polls as the crawl does, yielding between polls; false if `done` never holds (the engine's own
// time-out ends every load long before).
template <typename Condition>
bool PollUntil(Condition done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

class WebBrowserNetworkTest : public ::testing::Test {
  protected:
    // Navigates and waits for the load to end.
    void Show(const std::string& url) {
        browser.Navigate(url);
        ASSERT_TRUE(PollUntil([this] {
            return browser.ReadyState() == Browser::kReadyStateComplete;
        })) << url;
    }

    LoopbackHttpServer server;
    CurlTransferEngine engine;
    SystemClock clock;
    WebBrowser browser{engine, clock};
};

// --- the address shown: as navigated unless redirected; failures on the error page ---

struct AddressCase {
    const char* name;
    const char* shown;     // path navigated to on the server
    const char* expected;  // path of the address shown, or the error page
    const char* title;
};

class WebBrowserAddress : public WebBrowserNetworkTest,
                          public ::testing::WithParamInterface<AddressCase> {};

TEST_P(WebBrowserAddress, IsTheOneAnsweredFrom) {
    const AddressCase& c = GetParam();
    server.ServeRedirect("/moved", server.Url("/new/"), 302);
    server.ServePage("/new/", "<title>New</title>");
    for (int i = 0; i < 11; ++i) {
        server.ServeRedirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
    }
    server.ServePage("/r11", "<title>End</title>");
    server.ServeStatusLine("/broken", "HTTP/1.1 500 Internal Server Error");
    server.ServeFile("/report.pdf", "application/pdf",
                     "<title>PDF</title>" + std::string(9000, '%'));
    server.ServeFile("/fr.html", "text/html", "<meta charset=windows-1252><title>Men\xFC</title>");
    server.ServeFile("/jp.html", "text/html; charset=Shift_JIS", "<title>\x83\x65\x83\x58</title>");
    Show(server.Url(c.shown));
    const std::string expected = c.expected[0] == '/' ? server.Url(c.expected) : c.expected;
    EXPECT_EQ(browser.LocationURL(), expected);
    EXPECT_EQ(browser.GetDocument()->title, c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebBrowserAddress,
    ::testing::Values(AddressCase{"RedirectKeepsFragment", "/moved#part", "/new/#part", "New"},
                      AddressCase{"TenRedirects", "/r1", "/r11", "End"},
                      AddressCase{"ElevenRedirects", "/r0", "about:neterror", "Page not loaded"},
                      AddressCase{"ServerError", "/broken", "about:neterror", "Page not loaded"},
                      AddressCase{"NonHtmlIsNotParsed", "/report.pdf", "/report.pdf", ""},
                      AddressCase{"Windows1252FromMeta", "/fr.html", "/fr.html", "Men\xC3\xBC"},
                      AddressCase{"ShiftJisFromHeader", "/jp.html", "/jp.html",
                                  "\xE3\x83\x86\xE3\x82\xB9"}),
    [](const auto& info) { return info.param.name; });

TEST_F(WebBrowserNetworkTest, RefusedOrUnsupportedAddressesEndOnTheErrorPage) {
    RefusingPort nobody;
    for (const std::string& url : {nobody.Url(), std::string("javascript:void(0)"),
                                   std::string("mailto:a@b.example"), std::string()}) {
        Show(url);
        EXPECT_EQ(browser.LocationURL(), "about:neterror") << url;
    }
}

TEST_F(WebBrowserNetworkTest, FilePagesAreHtmlByTheirExtensionAndNeedFileAccess) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-pages-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    std::ofstream(dir / "index.html") << "<title>On disk</title><a href='sub/b.html#x'>b</a>";
    std::ofstream(dir / "b.xhtml") << "<a href='index.html'>up</a>";
    std::ofstream(dir / "notes.txt") << "<a href=x>text</a>";
    const auto url = [&](const std::string& name) { return "file://" + (dir / name).string(); };
    engine.SetFileAccess(true);
    Show(url("index.html#top"));
    EXPECT_EQ(browser.LocationURL(), url("index.html#top"));
    EXPECT_EQ(browser.GetDocument()->links.at(0).href, url("sub/b.html#x"));
    Show(url("b.xhtml"));
    EXPECT_EQ(browser.GetDocument()->links.at(0).href, url("index.html"));
    Show(url("notes.txt"));
    EXPECT_EQ(browser.LocationURL(), url("notes.txt"));
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
    Show(url("missing.html"));
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    engine.SetFileAccess(false);
    Show(url("index.html"));
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quill::platform
