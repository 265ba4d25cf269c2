// The start argument: URLs pass unchanged, paths of files and directories become file: URLs.
#include "platform/start_location.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quill::cli {
namespace {

namespace fs = std::filesystem;

class StartLocationOnDisk : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quill-start-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    void Touch(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "<title>x</title>";
    }

    fs::path root_;
};

TEST(StartLocation, UrlsPassUnchanged) {
    for (const std::string url : {"http://site/index.html", "file:///srv/site/", "about:blank",
                                  "HTTP://Site/", "ftp://h/a.zip", "mailto:someone@x.example"}) {
        const StartLocation start = ResolveStartLocation(url);
        EXPECT_EQ(start.url, url);
        EXPECT_EQ(start.error, "");
    }
}

TEST(StartLocation, TextWithoutSchemeNamingNothingOnDiskIsAnError) {
    const StartLocation start = ResolveStartLocation("no-such-page-here.html");
    EXPECT_EQ(start.url, "");
    EXPECT_EQ(start.error,
              "'no-such-page-here.html' is neither a URL (such as http://host/page.html) nor an "
              "existing file or directory");
}

TEST(StartLocation, SchemeTest) {
    for (const char* text : {"http://x", "svn+ssh://x", "about:blank"}) {
        EXPECT_TRUE(HasUrlScheme(text)) << text;
    }
    for (const char* text : {"site/index.html", ":x", "./a:b.html", "1http://x"}) {
        EXPECT_FALSE(HasUrlScheme(text)) << text;
    }
}

TEST_F(StartLocationOnDisk, AbsoluteFileBecomesFileUrl) {
    Touch(root_ / "page.html");
    EXPECT_EQ(ResolveStartLocation((root_ / "page.html").string()).url,
              "file://" + (root_ / "page.html").string());
}

TEST_F(StartLocationOnDisk, RelativePathIsMadeAbsoluteAndTidy) {
    Touch(root_ / "sub" / "page.html");
    const fs::path previous = fs::current_path();
    fs::current_path(root_);
    const StartLocation start = ResolveStartLocation("./sub/../sub/page.html");
    fs::current_path(previous);
    EXPECT_EQ(start.url, "file://" + (root_ / "sub" / "page.html").string());
}

TEST_F(StartLocationOnDisk, DirectoryStandsForItsIndexHtmlThenIndexHtmThenItself) {
    const std::string dir = "file://" + root_.string();
    EXPECT_EQ(ResolveStartLocation(root_.string()).url, dir + "/");
    Touch(root_ / "index.htm");
    EXPECT_EQ(ResolveStartLocation(root_.string() + "/").url, dir + "/index.htm");
    Touch(root_ / "index.html");
    EXPECT_EQ(ResolveStartLocation(root_.string()).url, dir + "/index.html");
}

TEST_F(StartLocationOnDisk, CharactersOutsideUrlsArePercentEncoded) {
    Touch(root_ / "a b#c%.html");
    EXPECT_EQ(ResolveStartLocation((root_ / "a b#c%.html").string()).url,
              "file://" + root_.string() + "/a%20b%23c%25.html");
}

}  // namespace
}  // namespace quill::cli
