// The start argument: crawlable URLs pass unchanged, paths of files and directories become file:
// URLs. (Start URLs that cannot be crawled are usage errors: cli_end_to_end_test.)
#include "cli/start_location.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quill::cli {
namespace {

namespace fs = std::filesystem;

TEST(StartLocation, PathsOnDiskBecomeFileUrlsAndUrlsPassUnchanged) {
    std::string pattern = (fs::temp_directory_path() / "quill-start-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    const std::string dir = "file://" + root.string();
    const auto touch = [](const fs::path& path) { std::ofstream(path) << "<title>x</title>"; };

    EXPECT_EQ(ResolveStartLocation(root.string()).url, dir + "/");
    touch(root / "index.htm");
    EXPECT_EQ(ResolveStartLocation(root.string() + "/").url, dir + "/index.htm");
    touch(root / "index.html");
    EXPECT_EQ(ResolveStartLocation(root.string()).url, dir + "/index.html");
    touch(root / "a b#c%.html");
    fs::create_directory(root / "sub");
    EXPECT_EQ(ResolveStartLocation((root / "sub" / ".." / "a b#c%.html").string()).url,
              dir + "/a%20b%23c%25.html");
    fs::remove_all(root);
    EXPECT_EQ(ResolveStartLocation("HTTPS://Site/a%20b").url, "HTTPS://Site/a%20b");
}

}  // namespace
}  // namespace quill::cli
