// The browser over the real transfer engine against the loopback server and the local disk:
// redirects and their limit, error statuses, refused connections, non-HTML answers, character
// sets and file: pages. (Crawls of loopback sites run it further.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>

#include "platform/curl_transfer_engine.h"
#include "platform/web_browser.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::LoopbackHttpServer;
using test_support::RefusingPort;

class WebBrowserNetworkTest : public ::testing::Test {
  protected:
    // Navigates and polls as the crawl does until the load ends (the engine's time-outs end it).
    void Show(const std::string& url) {
        browser.Navigate(url);
        while (browser.ReadyState() != Browser::kReadyStateComplete) {
            std::this_thread::yield();
        }
    }

    LoopbackHttpServer server;
    CurlTransferEngine engine;
    SystemClock clock;
    WebBrowser browser{engine, clock};
};

// The address shown: the one answered from, or the error page; and the title read from it.
TEST_F(WebBrowserNetworkTest, AddressAndTitleAreTheAnswers) {
    for (int i = 0; i < 11; ++i) {
        server.ServeRedirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
    }
    server.ServePage("/r11", "<title>End</title>");
    server.ServeStatusLine("/broken", "HTTP/1.1 500 Internal Server Error");
    server.ServeFile("/report.pdf", "application/pdf", "<title>PDF</title>");
    server.ServeFile("/jp.html", "text/html; charset=Shift_JIS", "<title>\x83\x65\x83\x58</title>");
    RefusingPort nobody;
    const std::string error = "about:neterror Page not loaded";
    for (const auto& [url, expected] : std::initializer_list<std::pair<std::string, std::string>>{
             {server.Url("/r1"), server.Url("/r11") + " End"},  // ten redirects are followed
             {server.Url("/r0"), error},                        // eleven are not
             {server.Url("/broken"), error},
             {server.Url("/report.pdf"), server.Url("/report.pdf") + " "},  // not parsed
             {server.Url("/jp.html"), server.Url("/jp.html") + " \xE3\x83\x86\xE3\x82\xB9"},
             {nobody.Url(), error},
             {"javascript:void(0)", error},
             {"mailto:a@b.example", error},
             {"", error}}) {
        Show(url);
        EXPECT_EQ(browser.LocationURL() + " " + browser.GetDocument()->title, expected) << url;
    }
}

// (Crawls of sites on disk show the rest: missing files, and no disk for a web run.)
TEST_F(WebBrowserNetworkTest, FilePagesAreHtmlByTheirExtension) {
    std::string dir = (std::filesystem::temp_directory_path() / "quill-pages-XXXXXX");
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    std::ofstream(dir + "/b.xhtml") << "<a href='index.html#x'>up</a>";
    std::ofstream(dir + "/notes.txt") << "<a href=x>text</a>";
    engine.SetFileAccess(true);
    Show("file://" + dir + "/b.xhtml");
    EXPECT_EQ(browser.GetDocument()->links.at(0).href, "file://" + dir + "/index.html#x");
    Show("file://" + dir + "/notes.txt#top");
    EXPECT_EQ(browser.LocationURL(), "file://" + dir + "/notes.txt#top");
    EXPECT_FALSE(browser.GetDocument()->IsHtml());
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quill::platform
