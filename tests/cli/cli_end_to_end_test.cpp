// quillorbane-cli as a user runs it: on a small loopback site, on the sample site, with bad
// options, stopped with Ctrl-C, and with a report file that cannot be written.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_process.h"
#include "cli/start_location.h"
#include "support/loopback_http_server.h"

namespace quill::cli {
namespace {

namespace fs = std::filesystem;
using test_support::LoopbackHttpServer;
using testing_support::CliProcess;
using testing_support::CliResult;
using testing_support::MaskLoadTimes;
using testing_support::ReadFile;
using testing_support::RunCli;

// Puts the server's origin in place of every {o}.
std::string WithOrigin(std::string text, const std::string& origin) {
    for (std::size_t at = text.find("{o}"); at != std::string::npos;
         at = text.find("{o}", at + origin.size())) {
        text.replace(at, 3, origin);
    }
    return text;
}

class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "quill-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TemporaryDirectory() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// A small site: a home page with a good and a missing image, a good, a missing, an outside and an
// https link; a second page one level down with a third page below it.
class LoopbackSite : public testing::Test {
  protected:
    void SetUp() override {
        server_.ServePage("/site/index.html",
                          "<html><head><title>Home</title></head><body>"
                          "<img src=\"logo.png\" alt=\"logo\" width=\"1\" height=\"1\">"
                          "<img src=\"missing.png\" alt=\"gone\" width=\"1\" height=\"1\">"
                          "<a href=\"a.html\">A</a> <a href=\"gone.html\">gone</a> "
                          "<a href=\"/elsewhere.html\">elsewhere</a> "
                          "<a href=\"mailto:webmaster@site.invalid\">write</a>"
                          "</body></html>");
        server_.ServePage("/site/a.html",
                          "<html><head><title>A</title></head><body>"
                          "<a href=\"index.html\">home</a> <a href=\"deep.html\">deep</a>"
                          "</body></html>");
        server_.ServePage("/site/deep.html", "<html><head><title>Deep</title></head></html>");
        server_.ServeFile("/site/logo.png", "image/png", "\x89PNG");
        server_.ServePage("/elsewhere.html", "<html><head><title>Out</title></head></html>");

        // A clean corner: an image without alt text and a page linking back.
        server_.ServePage("/clean/index.html",
                          "<html><head><title>Clean</title></head><body>"
                          "<img src=\"pic.png\" width=\"1\"><a href=\"b.html\">b</a>"
                          "</body></html>");
        server_.ServePage("/clean/b.html",
                          "<html><body><a href=\"index.html\">back</a></body></html>");
        server_.ServeFile("/clean/pic.png", "image/png", "\x89PNG");
    }

    std::string Url(const std::string& path) const { return server_.Url(path); }
    std::string Fill(const std::string& text) const { return WithOrigin(text, server_.Origin()); }

    LoopbackHttpServer server_;
};

TEST_F(LoopbackSite, ListsCountsAndExitStatusOne) {
    const CliResult run = RunCli({Url("/site/index.html")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Fill(R"(Successful Links: 5
  {o}/elsewhere.html
  {o}/site/a.html
  {o}/site/deep.html
  {o}/site/index.html
  {o}/site/logo.png

Skipped Links: 1
  mailto:webmaster@site.invalid <- {o}/site/index.html

Broken Links: 2
  {o}/site/gone.html <- {o}/site/index.html
  {o}/site/missing.png <- {o}/site/index.html

Advisories: 5
)"));
}

TEST_F(LoopbackSite, OptionsReachTheCrawl) {
    const CliResult run = RunCli({"--no-external", "--no-images", "--max-depth", "1", "--timeout=5",
                                  Url("/site/index.html")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, Fill(R"(Successful Links: 2
  {o}/site/a.html
  {o}/site/index.html

Skipped Links: 2
  {o}/elsewhere.html <- {o}/site/index.html
  mailto:webmaster@site.invalid <- {o}/site/index.html

Broken Links: 1
  {o}/site/gone.html <- {o}/site/index.html

Advisories: 4
)"));
}

TEST_F(LoopbackSite, BaseOptionWidensTheScope) {
    // Without --base the outside page is skipped (OptionsReachTheCrawl); with it, it is followed.
    const CliResult run =
        RunCli({"--base", Url("/"), "--no-external", "--no-images", Url("/site/a.html")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("  " + Url("/elsewhere.html") + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Skipped Links: 1\n"), std::string::npos) << run.out;
}

TEST_F(LoopbackSite, ReportFileHoldsEveryVerdictAndAdvisory) {
    TemporaryDirectory dir;
    const fs::path report = dir.Path() / "site.log";
    const CliResult run = RunCli({"--report", report.string(), Url("/clean/index.html")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Report: " + report.string() + "\n"), std::string::npos);
    EXPECT_EQ(MaskLoadTimes(ReadFile(report.string())),
              Fill("\"link status\",\"time to load\",\"link href\",\"referer\"\r\n"
                   "\"valid\",#,\"{o}/clean/pic.png\",\"{o}/clean/index.html\"\r\n"
                   "\"valid\",#,\"{o}/clean/b.html\",\"{o}/clean/index.html\"\r\n"
                   "\"valid\",#,\"{o}/clean/index.html\",\"\"\r\n"
                   "\"link status\",\"warning message\",\"link href\",\"referer\"\r\n"
                   "\"warning\",\"Image does not have an alt attribute. Defining size for images "
                   "helps in faster page rendering. \",\"Image {o}/clean/pic.png\",\""
                   "{o}/clean/index.html\"\r\n"
                   "\"warning\",\"ALT tag in anchor gives baloon help in IE. \",\"Anchor "
                   "{o}/clean/b.html\",\"{o}/clean/index.html\"\r\n"));
}

// The same lists whether the crawl fetches ahead of itself or makes each request when it comes to
// it.
class CleanSite : public LoopbackSite,
                  public testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CleanSite, ExitsZero) {
    std::vector<std::string> args = GetParam();
    args.push_back(Url("/clean/index.html"));
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Fill("Successful Links: 3\n  {o}/clean/b.html\n  {o}/clean/index.html\n"
                            "  {o}/clean/pic.png\n\nSkipped Links: 0\n\nBroken Links: 0\n\n"
                            "Advisories: 2\n"));
}

std::string CleanSiteRunName(const testing::TestParamInfo<std::vector<std::string>>& info) {
    static const char* const kNames[] = {"LookAhead", "NoLookAhead", "OneConnection"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, CleanSite,
                         testing::Values(std::vector<std::string>{},
                                         std::vector<std::string>{"--no-lookahead"},
                                         std::vector<std::string>{"--connections", "1"}),
                         CleanSiteRunName);

TEST_F(LoopbackSite, BrokenStartPage) {
    const CliResult run = RunCli({Url("/site/nothing-here.html")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Fill("Successful Links: 0\n\nSkipped Links: 0\n\nBroken Links: 1\n"
                            "  {o}/site/nothing-here.html <- \n\nAdvisories: 0\n"));
}

TEST_F(LoopbackSite, ReportThatCannotBeCreatedStopsBeforeTheCrawl) {
    TemporaryDirectory dir;
    for (const std::string& path :
         {std::string("/nonexistent-dir/site.log"), dir.Path().string()}) {
        const CliResult run = RunCli({"--report", path, Url("/clean/index.html")});
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "quillorbane-cli: cannot write the report file '" + path + "': " +
                               (path == dir.Path().string() ? "Is a directory"
                                                            : "No such file or directory") +
                               "\n");
    }
    EXPECT_EQ(server_.RequestCount(), 0);
}

TEST_F(LoopbackSite, ReportThatFailsWhileWrittenStillLeavesTheLists) {
    const CliResult run = RunCli({"--report", "/dev/full", Url("/clean/index.html")});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.out.find("Successful Links: 3\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Report:"), std::string::npos);
    EXPECT_EQ(run.err,
              "quillorbane-cli: cannot write the report file '/dev/full': "
              "No space left on device\n");
}

// A home page linking one page whose body the server holds back, so the crawl waits on it.
class HeldPageSite : public testing::Test {
  protected:
    void SetUp() override {
        server_.ServePage("/index.html",
                          "<html><head><title>Home</title></head><body>"
                          "<a href=\"held.html\">held</a> <a href=\"after.html\">after</a>"
                          "</body></html>");
        server_.ServeInTwoParts("/held.html", "text/html", "<html><head><title>Held",
                                "</title></head></html>");
        server_.ServePage("/after.html", "<html></html>");
    }

    static bool ShowsPage(const std::string& err, const std::string& url) {
        return err.find("| " + url) != std::string::npos;
    }

    LoopbackHttpServer server_;
};

TEST_F(HeldPageSite, ProgressLineOnATerminal) {
    server_.Release("/held.html");
    CliProcess process({server_.Url("/index.html")}, true);
    const CliResult run = process.Finish();
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("\rdepth 1 | 0 successful, 0 skipped, 0 broken | " +
                           server_.Url("/held.html")),
              std::string::npos)
        << run.err;
    // Cleared at the end, before the lists go to stdout.
    EXPECT_EQ(run.err.substr(run.err.size() - 4), "\r\x1b[K");
}

TEST_F(HeldPageSite, NoProgressLineWhenStderrIsNotATerminal) {
    server_.Release("/held.html");
    const CliResult run = RunCli({server_.Url("/index.html")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

TEST_F(HeldPageSite, CtrlCStopsTheCrawlAndStillPrintsAndReports) {
    TemporaryDirectory dir;
    const fs::path report = dir.Path() / "stopped.log";
    CliProcess process({"--report", report.string(), server_.Url("/index.html")}, true);
    const std::string held = server_.Url("/held.html");
    ASSERT_TRUE(
        process.WaitForStderr([&](const std::string& err) { return ShowsPage(err, held); }));
    process.SendSignal(SIGINT);
    const CliResult run = process.Finish();

    EXPECT_EQ(run.status, 130);
    EXPECT_NE(run.err.find("quillorbane-cli: stopping; press Ctrl-C again to quit at once"),
              std::string::npos)
        << run.err;
    // The page being loaded is broken, the page above it good, and nothing after it is taken.
    EXPECT_EQ(run.out, WithOrigin("Successful Links: 1\n  {o}/index.html\n\nSkipped Links: 0\n\n"
                                  "Broken Links: 1\n  {o}/held.html <- {o}/index.html\n\n"
                                  "Advisories: 1\nReport: ",
                                  server_.Origin()) +
                           report.string() + "\n");
    EXPECT_NE(ReadFile(report.string()).find("\"broken\","), std::string::npos);
}

// Stop cancels the request in flight: the page whose probe hangs is listed broken at once.
TEST(CtrlC, FirstCtrlCCancelsAHungRequest) {
    LoopbackHttpServer server;
    server.ServeNoReply("/silent.html");
    CliProcess process({server.Url("/silent.html")}, true);
    const std::string silent = server.Url("/silent.html");
    ASSERT_TRUE(process.WaitForStderr(
        [&](const std::string& err) { return err.find("| " + silent) != std::string::npos; }));
    process.SendSignal(SIGINT);
    const CliResult run = process.Finish();
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out, "Successful Links: 0\n\nSkipped Links: 0\n\nBroken Links: 1\n  " + silent +
                           " <- \n\nAdvisories: 0\n");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    std::string firstLine;
};

class BadCommandLine : public testing::TestWithParam<UsageCase> {};

TEST_P(BadCommandLine, ExitsTwoWithOneClearLine) {
    const CliResult run = RunCli(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quillorbane-cli: " + GetParam().firstLine +
                           "\nTry 'quillorbane-cli --help' for more information.\n");
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, BadCommandLine,
    testing::Values(
        UsageCase{"NoArguments", {}, "missing START_URL"},
        UsageCase{"MistypedPath",
                  {"no/such/site"},
                  "'no/such/site' is neither a URL (such as http://host/page.html) nor an "
                  "existing file or directory"},
        UsageCase{"UnknownOption", {"--fast", "http://127.0.0.1:9/"}, "unknown option '--fast'"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

TEST(EndToEnd, HelpAndVersion) {
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillorbane-cli [options] START_URL\n", 0), 0u);
    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quillorbane-cli 1.0.0\n");
}

}  // namespace
}  // namespace quill::cli
