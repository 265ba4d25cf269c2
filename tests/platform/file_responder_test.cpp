// file: URLs answered by the transfer engine from the disk, as a static web server would answer
// them, and only while file access is on.
#include "platform/file_responder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/curl_transfer_engine.h"

namespace quill::platform {
namespace {

using ::testing::IsEmpty;
using ::testing::Not;

const std::string kNotFound = "HTTP/1.0 404 Not Found\r\n\r\n";

std::string OkHeader(std::size_t length, const std::string& contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) +
           "\r\nContent-Type: " + contentType + "\r\n\r\n";
}

// A small site on disk: pages, a style sheet, an image, a folder with an index page and one
// without, a file name with a space.
class SiteOnDisk {
  public:
    SiteOnDisk() {
        char pattern[] = "/tmp/quill-files-XXXXXX";
        root_ = ::mkdtemp(pattern);
        Write("index.html", "<html>home</html>");
        Write("page.htm", "<html>page</html>");
        Write("style.css", "body {}");
        Write("logo.png", std::string(2048, '\x89'));
        Write("docs/index.html", "<html>docs</html>");
        Write("empty-folder/readme.txt", "no index here");
        Write("two words.html", "<html>spaced</html>");
    }
    ~SiteOnDisk() { std::filesystem::remove_all(root_); }

    // file:///tmp/quill-files-.../relative
    std::string Url(const std::string& relative) const {
        return "file://" + root_ + "/" + relative;
    }
    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  private:
    void Write(const std::string& relative, const std::string& content) {
        const std::filesystem::path path = Path(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    std::string root_;
};

class FileResponderTest : public ::testing::Test {
  protected:
    FileResponderTest() { engine_.SetFileAccess(true); }

    std::shared_ptr<Transfer> Fetch(const std::string& url, const std::string& method = "GET") {
        TransferRequest request;
        request.url = url;
        request.method = method;
        auto transfer = engine_.Start(request);
        transfer->WaitFinished();
        return transfer;
    }

    SiteOnDisk site_;
    CurlTransferEngine engine_;
};

struct FileCase {
    const char* name;
    const char* url;          // relative to the site's folder
    const char* contentType;  // nullptr: not found
    const char* body;
};

class FileAnswerTest : public FileResponderTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(FileAnswerTest, AnswersLikeAStaticServer) {
    const FileCase& row = GetParam();
    const auto got = Fetch(site_.Url(row.url));
    EXPECT_EQ(got->Error(), "");
    EXPECT_TRUE(got->HeadersReceived());
    const std::string body = row.body;
    EXPECT_EQ(got->Header(), row.contentType ? OkHeader(body.size(), row.contentType) : kNotFound);
    EXPECT_EQ(got->Body(), body);
}

INSTANTIATE_TEST_SUITE_P(
    Site, FileAnswerTest,
    ::testing::Values(
        FileCase{"Page", "index.html", "text/html", "<html>home</html>"},
        FileCase{"StyleSheet", "style.css", "text/css", "body {}"},
        FileCase{"FolderAnswersWithItsIndex", "docs", "text/html", "<html>docs</html>"},
        FileCase{"FolderWithSlash", "docs/", "text/html", "<html>docs</html>"},
        FileCase{"EncodedSpace", "two%20words.html", "text/html", "<html>spaced</html>"},
        FileCase{"FragmentAndQueryIgnored", "page.htm?v=2#top", "text/html", "<html>page</html>"},
        FileCase{"Missing", "gone.html", nullptr, ""},
        FileCase{"FolderWithoutIndex", "empty-folder", nullptr, ""},
        FileCase{"EncodedNul", "page%00.htm", nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileResponderTest, HeadGivesTheHeaderWithoutTheBody) {
    const auto got = Fetch(site_.Url("logo.png"), "HEAD");
    EXPECT_EQ(got->Header(), OkHeader(2048, "image/png"));
    EXPECT_EQ(got->BodySize(), 0u);
    EXPECT_EQ(got->Status(), 200);
    EXPECT_EQ(engine_.KnownContentLength(site_.Url("logo.png")), 2048);
}

TEST_F(FileResponderTest, LocalhostIsThisMachineAndAnotherHostGivesNoResponse) {
    EXPECT_EQ(Fetch("file://localhost" + site_.Path("style.css"))->Header(),
              OkHeader(7, "text/css"));
    const auto elsewhere = Fetch("file://elsewhere" + site_.Path("style.css"));
    EXPECT_THAT(elsewhere->Error(), Not(IsEmpty()));
    EXPECT_EQ(elsewhere->Header(), "");
    EXPECT_EQ(Fetch("file:index.html")->Header(), kNotFound) << "a relative path is not looked up";
}

TEST_F(FileResponderTest, BodyLimitAndHtmlOnlyApply) {
    TransferRequest capped;
    capped.url = site_.Url("index.html");
    capped.maxBodyBytes = 6;
    auto transfer = engine_.Start(capped);
    EXPECT_EQ(transfer->Body(), "<html>");
    EXPECT_EQ(transfer->ContentLength(), 17);

    TransferRequest htmlOnly;
    htmlOnly.url = site_.Url("logo.png");
    htmlOnly.htmlBodyOnly = true;
    transfer = engine_.Start(htmlOnly);
    EXPECT_EQ(transfer->Header(), OkHeader(2048, "image/png"));
    EXPECT_EQ(transfer->BodySize(), 0u);
}

TEST_F(FileResponderTest, NothingIsReadWhileFileAccessIsOff) {
    engine_.SetFileAccess(false);
    for (const char* method : {"HEAD", "GET"}) {
        const auto got = Fetch(site_.Url("index.html"), method);
        EXPECT_TRUE(got->Finished());
        EXPECT_THAT(got->Error(), Not(IsEmpty()));
        EXPECT_EQ(got->Header(), "");
        EXPECT_EQ(got->BodySize(), 0u);
    }
    engine_.SetFileAccess(true);
    EXPECT_EQ(Fetch(site_.Url("index.html"))->Status(), 200);
}

struct TypeCase {
    const char* path;
    const char* contentType;
};

class ContentTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ContentTypeTest, ByExtension) {
    EXPECT_EQ(ContentTypeForFileName(GetParam().path), GetParam().contentType);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, ContentTypeTest,
    ::testing::Values(TypeCase{"/a/PAGE.HTM", "text/html"},
                      TypeCase{"/a/doc.xhtml", "application/xhtml+xml"},
                      TypeCase{"/a/app.js", "text/javascript"}, TypeCase{"/a/p.JPG", "image/jpeg"},
                      TypeCase{"/a/archive.tar.gz", "application/octet-stream"},
                      TypeCase{"/a.dir/README", "application/octet-stream"},
                      TypeCase{"/a/noextension", "application/octet-stream"}));

}  // namespace
}  // namespace quill::platform
