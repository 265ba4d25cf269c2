// The browser over the real transfer engine against the loopback server and the local disk:
// redirects, error statuses, refused connections, non-HTML answers, character sets, a body that
// arrives in two parts, file: pages and the spelling of the address shown.
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

TEST_F(WebBrowserNetworkTest, LoadsAPageAndItsDocument) {
    server.ServePage("/dir/index.html",
                     "<title>Home</title><a href='next.html'>Next</a><img src='/logo.png'>");
    Show(server.Url("/dir/index.html"));
    EXPECT_EQ(browser.LocationURL(), server.Url("/dir/index.html"));
    const auto document = browser.GetDocument();
    EXPECT_EQ(document->title, "Home");
    ASSERT_EQ(document->links.size(), 1u);
    EXPECT_EQ(document->links[0].href, server.Url("/dir/next.html"));
    EXPECT_EQ(document->images[0].src, server.Url("/logo.png"));
    EXPECT_EQ(server.RequestCount("GET", "/dir/index.html"), 1);
}

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
    server.ServePage("/", "<title>Root</title>");
    server.ServePage("/page.html", "<title>Page</title>");
    server.ServeRedirect("/old", "/new/", 301);
    server.ServeRedirect("/moved", server.Url("/new/"), 302);
    server.ServePage("/new/", "<title>New</title>");
    server.ServeRedirect("/a", "/b");
    server.ServeRedirect("/b", "/a");
    for (int i = 0; i < 11; ++i) {
        server.ServeRedirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
    }
    server.ServePage("/r11", "<title>End</title>");
    server.ServeStatusLine("/broken", "HTTP/1.1 500 Internal Server Error");
    Show(server.Url(c.shown));
    const std::string expected = c.expected[0] == '/' ? server.Url(c.expected) : c.expected;
    EXPECT_EQ(browser.LocationURL(), expected);
    EXPECT_EQ(browser.GetDocument()->title, c.title);
    if (std::string(c.shown) == "/broken") {
        EXPECT_EQ(server.RequestCount("GET", "/broken"), 1) << "one GET, no HEAD";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebBrowserAddress,
    ::testing::Values(AddressCase{"Root", "/", "/", "Root"},
                      AddressCase{"Fragment", "/page.html#Section", "/page.html#Section", "Page"},
                      AddressCase{"DotSegment", "/./page.html", "/./page.html", "Page"},
                      AddressCase{"EmptyFragment", "/page.html#", "/page.html#", "Page"},
                      AddressCase{"Redirect", "/old", "/new/", "New"},
                      AddressCase{"RedirectKeepsFragment", "/moved#part", "/new/#part", "New"},
                      AddressCase{"TenRedirects", "/r1", "/r11", "End"},
                      AddressCase{"ElevenRedirects", "/r0", "about:neterror", "Page not loaded"},
                      AddressCase{"RedirectLoop", "/a", "about:neterror", "Page not loaded"},
                      AddressCase{"NotFound", "/missing.html", "about:neterror", "Page not loaded"},
                      AddressCase{"ServerError", "/broken", "about:neterror", "Page not loaded"}),
    [](const auto& info) { return info.param.name; });

TEST_F(WebBrowserNetworkTest, RedirectToAnotherSiteAndSchemeInCapitals) {
    LoopbackHttpServer other;
    other.ServePage("/there.html", "<title>Elsewhere</title>");
    server.ServeRedirect("/away", other.Url("/there.html"), 307);
    Show(server.Url("/away"));
    EXPECT_EQ(browser.LocationURL(), other.Url("/there.html"));
    EXPECT_EQ(browser.GetDocument()->title, "Elsewhere");
    const std::string capitals = "HTTP://127.0.0.1:" + std::to_string(other.Port()) + "/there.html";
    Show(capitals);
    EXPECT_EQ(browser.LocationURL(), capitals);
}

TEST_F(WebBrowserNetworkTest, RefusedOrUnsupportedAddressesEndOnTheErrorPage) {
    RefusingPort nobody;
    for (const std::string& url : {nobody.Url(), std::string("javascript:void(0)"),
                                   std::string("mailto:a@b.example"), std::string()}) {
        Show(url);
        EXPECT_EQ(browser.LocationURL(), "about:neterror") << url;
    }
}

// --- content ---

TEST_F(WebBrowserNetworkTest, NonHtmlAnswerIsNotParsed) {
    server.ServeFile("/report.pdf", "application/pdf", std::string(200000, '%'));
    Show(server.Url("/report.pdf"));
    EXPECT_EQ(browser.LocationURL(), server.Url("/report.pdf"));
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
}

TEST_F(WebBrowserNetworkTest, PagesInWindows1252AndShiftJis) {
    server.ServeFile("/fr.html", "text/html",
                     "<meta charset=windows-1252><title>Men\xFC</title>"
                     "<a href='caf\xE9.html'>Caf\xE9</a>");
    server.ServeFile("/jp.html", "text/html; charset=Shift_JIS",
                     "<title>\x83\x65\x83\x58\x83\x67</title><a href='\x93\xFA.html'>x</a>");
    Show(server.Url("/fr.html"));
    EXPECT_EQ(browser.GetDocument()->title, "Men\xC3\xBC");
    EXPECT_EQ(browser.GetDocument()->links[0].href, server.Url("/caf%c3%a9.html"));
    Show(server.Url("/jp.html"));
    EXPECT_EQ(browser.GetDocument()->title, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_EQ(browser.GetDocument()->links[0].href, server.Url("/%e6%97%a5.html"));
}

TEST_F(WebBrowserNetworkTest, SlowBodyGivesAPartialDocumentUntilItIsWhole) {
    server.ServeInTwoParts("/slow.html", "text/html",
                           "<title>Slow</title><a href='first.html'>first</a>",
                           "<a href='second.html'>second</a>");
    browser.Navigate(server.Url("/slow.html"));
    ASSERT_TRUE(PollUntil([this] { return !browser.GetDocument()->links.empty(); }));
    EXPECT_EQ(browser.ReadyState(), WebBrowser::kReadyStateInteractive);
    EXPECT_EQ(browser.LocationURL(), server.Url("/slow.html"));
    const auto partial = browser.GetDocument();
    EXPECT_EQ(partial->title, "Slow");
    ASSERT_EQ(partial->links.size(), 1u);

    server.Release("/slow.html");
    ASSERT_TRUE(PollUntil([this] { return browser.ReadyState() == Browser::kReadyStateComplete; }));
    EXPECT_EQ(browser.GetDocument()->links.size(), 2u);
    EXPECT_EQ(partial->links.size(), 1u) << "a document handed out does not change";
}

// --- file: pages ---

class WebBrowserFileTest : public WebBrowserNetworkTest {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quill-pages-XXXXXX");
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        Write("index.html", "<title>On disk</title><a href='sub/b.html#x'>b</a>");
        Write("notes.txt", "<a href=x>text</a>");
        std::filesystem::create_directory(dir / "sub");
        Write("sub/b.xhtml", "<html><body><a href='../index.html'>up</a></body></html>");
        engine.SetFileAccess(true);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string FileUrl(const std::string& name) const { return "file://" + (dir / name).string(); }

    std::filesystem::path dir;
};

TEST_F(WebBrowserFileTest, HtmlIsToldByTheExtensionAndShownUnderItsOwnAddress) {
    Show(FileUrl("index.html#top"));
    EXPECT_EQ(browser.LocationURL(), FileUrl("index.html#top"));
    EXPECT_EQ(browser.GetDocument()->title, "On disk");
    EXPECT_EQ(browser.GetDocument()->links[0].href, FileUrl("sub/b.html#x"));
    Show(FileUrl("sub/b.xhtml"));
    EXPECT_TRUE(browser.GetDocument()->IsHtml());
    EXPECT_EQ(browser.GetDocument()->links[0].href, FileUrl("index.html"));
    Show(FileUrl("notes.txt"));
    EXPECT_EQ(browser.LocationURL(), FileUrl("notes.txt"));
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
}

TEST_F(WebBrowserFileTest, MissingFileOrNoFileAccessEndsOnTheErrorPage) {
    Show(FileUrl("missing.html"));
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
    engine.SetFileAccess(false);
    Show(FileUrl("index.html"));
    EXPECT_EQ(browser.LocationURL(), "about:neterror");
}

}  // namespace
}  // namespace quill::platform
