// Image file sizes through the engine against the loopback server: a length the engine already
// knows, HEAD, GET when HEAD has no length, failures, one request per URL, and a source whose
// engine has gone.
#include "platform/image_file_sizes.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/curl_transfer_engine.h"
#include "platform/web_browser.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::HttpResponse;
using test_support::LoopbackHttpServer;

class ImageFileSizesTest : public ::testing::Test {
  protected:
    LoopbackHttpServer server;
    CurlTransferEngine engine;
    EngineFileSizeSource sizes{engine};
};

TEST_F(ImageFileSizesTest, LengthFromHeadOrFromTheBodyOrMinusOne) {
    server.ServeFile("/big.png", "image/png", std::string(20000, 'p'));
    server.ServeRaw("/stream.jpg",
                    "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n\r\n" +
                        std::string(12345, 'j'));
    server.ServeRedirect("/old.png", "/big.png");
    server.ServeStatusLine("/error.png", "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/big.png")), "20000");
    EXPECT_EQ(server.RequestCount("GET", "/big.png"), 0);
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/stream.jpg")), "12345");
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/old.png")), "20000");
    for (const std::string& url : {server.Url("/missing.png"), server.Url("/error.png"),
                                   std::string("not a url"), std::string()}) {
        EXPECT_EQ(sizes.FileSizeOf(url), "-1") << url;
    }
}

TEST_F(ImageFileSizesTest, OneRequestPerUrlAndNoneForALengthTheEngineSaw) {
    server.ServeFile("/a.png", "image/png", std::string(10, 'a'));
    server.ServeFile("/seen.gif", "image/gif", std::string(4321, 'g'));
    TransferRequest probe;
    probe.url = server.Url("/seen.gif");
    probe.method = "HEAD";
    engine.Start(probe)->WaitFinished();
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/seen.gif")), "4321");
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/a.png")), "10");
    server.ServeFile("/a.png", "image/png", std::string(99, 'a'));
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/a.png")), "10");
    EXPECT_EQ(server.RequestCount(), 2);
    sizes.Detach();
    EXPECT_EQ(sizes.FileSizeOf(server.Url("/new.png")), "-1");  // a detached source asks nothing
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(ImageFileSizesTest, BrowserDocumentsTellTheirImagesSizes) {
    server.ServePage("/page.html", "<img src='pic.png'>");
    server.ServeFile("/pic.png", "image/png", std::string(15000, 'x'));
    std::shared_ptr<const Document> document;
    {
        WebBrowser browser(engine);
        browser.Navigate(server.Url("/page.html"));
        while (browser.ReadyState() != Browser::kReadyStateComplete) {
            std::this_thread::yield();
        }
        document = browser.GetDocument();
        ASSERT_EQ(document->images.size(), 1u);
        EXPECT_EQ(document->images[0].fileSize(), "15000");
    }
    server.ServeFile("/pic2.png", "image/png", "x");
    ImageElement later = document->images[0];
    later.src = server.Url("/pic2.png");
    EXPECT_EQ(later.fileSize(), "-1") << "the browser is gone";
}

}  // namespace
}  // namespace quill::platform
