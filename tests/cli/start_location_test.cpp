// The start argument: URLs pass unchanged, paths of files and directories become file: URLs.
#include "platform/start_location.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quill::cli {
namespace {

namespace fs = std::filesystem;

TEST(StartLocation, UrlsPassUnchangedTextNamingNothingOnDiskIsAnError) {
    for (const std::string url : {"http://site/index.html", "file:///srv/site/", "about:blank",
                                  "HTTP://Site/", "svn+ssh://x", "mailto:someone@x.example"}) {
        EXPECT_EQ(ResolveStartLocation(url).url, url);
        EXPECT_EQ(ResolveStartLocation(url).error, "");
    }
    for (const char* text : {"site/index.html", ":x", "./a:b.html", "1http://x"}) {
        EXPECT_FALSE(HasUrlScheme(text)) << text;
    }
    const StartLocation start = ResolveStartLocation("no-such-page-here.html");
    EXPECT_EQ(start.url, "");
    EXPECT_EQ(start.error,
              "'no-such-page-here.html' is neither a URL (such as http://host/page.html) nor an "
              "existing file or directory");
}

// Relative paths are made absolute and tidy, characters outside URLs percent-encoded, and a
// directory stands for its index.html, then index.htm, then itself.
TEST(StartLocation, PathsBecomeFileUrls) {
    std::string pattern = (fs::temp_directory_path() / "quill-start-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    const std::string dir = "file://" + pattern;
    fs::create_directories(root / "sub");
    for (const char* name : {"sub/page.html", "a b#c%.html"}) {
        std::ofstream(root / name) << "<title>x</title>";
    }
    EXPECT_EQ(ResolveStartLocation(pattern + "/a b#c%.html").url, dir + "/a%20b%23c%25.html");
    const fs::path previous = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ(ResolveStartLocation("./sub/../sub/page.html").url, dir + "/sub/page.html");
    fs::current_path(previous);
    EXPECT_EQ(ResolveStartLocation(pattern).url, dir + "/");
    std::ofstream(root / "index.htm").close();
    EXPECT_EQ(ResolveStartLocation(pattern + "/").url, dir + "/index.htm");
    std::ofstream(root / "index.html").close();
    EXPECT_EQ(ResolveStartLocation(pattern).url, dir + "/index.html");
    fs::remove_all(root);
}

}  // namespace
}  // namespace quill::cli
