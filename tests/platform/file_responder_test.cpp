// file: URLs answered by the transfer engine from the disk, as a static web server would answer
// them, and only while file access is on.
#include "platform/file_responder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/curl_transfer_engine.h"

namespace quill::platform {
namespace {

std::string OkHeader(std::size_t length, const std::string& contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) +
           "\r\nContent-Type: " + contentType + "\r\n\r\n";
}

class FileResponderTest : public ::testing::Test {
  protected:
    FileResponderTest() {
        char pattern[] = "/tmp/quill-files-XXXXXX";
        root_ = ::mkdtemp(pattern);
        for (const auto& [relative, content] : {std::pair{"index.html", "<html>home</html>"},
                                                {"page.htm", "<html>page</html>"},
                                                {"logo.png", "\x89PNG"},
                                                {"docs/index.html", "<html>docs</html>"},
                                                {"bare/readme.txt", "no index"},
                                                {"two words.html", "<html>spaced</html>"}}) {
            std::filesystem::create_directories(
                std::filesystem::path(Path(relative)).parent_path());
            std::ofstream(Path(relative), std::ios::binary) << content;
        }
        engine_.SetFileAccess(true);
    }
    ~FileResponderTest() override { std::filesystem::remove_all(root_); }

    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
    std::shared_ptr<Transfer> Fetch(const std::string& url, const std::string& method = "GET",
                                    std::size_t maxBodyBytes = 1000) {
        auto transfer = engine_.Start(TransferRequest{url, method, false, 10, 60, maxBodyBytes});
        transfer->WaitFinished();
        return transfer;
    }

    std::string root_;
    CurlTransferEngine engine_;
};

TEST_F(FileResponderTest, AnswersLikeAStaticServerOnlyWhileFileAccessIsOn) {
    const struct {
        const char* path;
        const char* contentType;  // nullptr: not found
        const char* body;
    } cases[] = {{"index.html", "text/html", "<html>home</html>"},
                 {"logo.png", "image/png", "\x89PNG"},
                 {"docs", "text/html", "<html>docs</html>"},
                 {"two%20words.html", "text/html", "<html>spaced</html>"},
                 {"page.htm?v=2#top", "text/html", "<html>page</html>"},
                 {"gone.html", nullptr, ""},
                 {"bare", nullptr, ""},
                 {"page%00.htm", nullptr, ""}};
    for (const auto& c : cases) {
        const auto got = Fetch("file://" + Path(c.path));
        EXPECT_EQ(got->Error(), "") << c.path;
        EXPECT_EQ(got->Header(), c.contentType ? OkHeader(std::string(c.body).size(), c.contentType)
                                               : "HTTP/1.0 404 Not Found\r\n\r\n")
            << c.path;
        EXPECT_EQ(got->Body(), c.body) << c.path;
    }
    // HEAD, a body limit, and only this machine while file access is on.
    EXPECT_EQ(Fetch("file://localhost" + Path("logo.png"), "HEAD")->Header(),
              OkHeader(4, "image/png"));
    EXPECT_EQ(Fetch("file://" + Path("index.html"), "GET", 6)->Body(), "<html>");
    EXPECT_EQ(engine_.KnownContentLength("file://" + Path("index.html")), 17);
    EXPECT_NE(Fetch("file://elsewhere" + Path("index.html"))->Error(), "");
    engine_.SetFileAccess(false);
    const auto off = Fetch("file://" + Path("index.html"));
    EXPECT_NE(off->Error(), "");
    EXPECT_EQ(off->Header(), "");
}

}  // namespace
}  // namespace quill::platform
