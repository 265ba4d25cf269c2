// quillorbane-cli as a child process against loopback sites: its output, JSON, report, options,
// stop signals, bad start URLs and report files that cannot be written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "support/loopback_http_server.h"

namespace quill::cli {
namespace {

namespace fs = std::filesystem;
using test_support::LoopbackHttpServer;
using Json = nlohmann::json;

std::string TempPath(const std::string& name) {
    static int serial = 0;
    return (fs::temp_directory_path() /
            ("quill-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
        .string();
}

std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct CliResult {
    int status = -1;  // the exit status; 128 + the signal number for a child killed by a signal
    std::string out, err;
};

// The binary as a child process; its stdout and stderr go to files, read when it has ended.
class CliProcess {
  public:
    explicit CliProcess(std::vector<std::string> args) {
        args.insert(args.begin(), QUILLORBANE_CLI_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {  // only async-signal-safe calls until exec
            const int flags = O_WRONLY | O_CREAT | O_TRUNC;
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            ::dup2(::open(out_.c_str(), flags, 0600), 1);
            ::dup2(::open(err_.c_str(), flags, 0600), 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove(out_);
        fs::remove(err_);
    }
    void SendSignal(int signal) { ::kill(pid_, signal); }
    CliResult Finish() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) {
            return {-1, "", "cannot run quillorbane-cli"};
        }
        pid_ = -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(out_),
                ReadFile(err_)};
    }

  private:
    pid_t pid_ = -1;
    std::string out_ = TempPath("out"), err_ = TempPath("err");
};

CliResult RunCli(const std::vector<std::string>& args) {
    return CliProcess(args).Finish();
}

// Puts the server's origin in place of every {o}.
std::string WithOrigin(std::string text, const std::string& origin) {
    for (std::size_t at = text.find("{o}"); at != std::string::npos;
         at = text.find("{o}", at + origin.size())) {
        text.replace(at, 3, origin);
    }
    return text;
}

const char* const kFullOutput = R"(Successful Links: 3
  {o}/site/a.html
  {o}/site/index.html
  {o}/site/logo.png

Skipped Links: 1
  mailto:bees@site.invalid <- {o}/site/index.html [not followed: mailto:]

Broken Links: 2
  {o}/site/gone.html <- {o}/site/a.html [404 Not Found]
   <- {o}/site/index.html
  {o}/site/missing.png <- {o}/site/index.html [404 Not Found]

Advisories: 0
Finished
)";

// A home page with a good and a missing image, a page below it, a missing page linked from both
// pages, and a mailto: link.
class LoopbackSite : public testing::Test {
  protected:
    void SetUp() override {
        server_.ServePage("/site/index.html",
                          "<html><body><img src=\"logo.png\" alt=\"l\" width=1 height=1>"
                          "<img src=\"missing.png\" alt=\"m\" width=1 height=1>"
                          "<a href=\"a.html\" alt>A</a> <a href=\"gone.html\" alt>gone</a>"
                          "<a href=\"mailto:bees@site.invalid\" alt>write</a></body></html>");
        server_.ServePage("/site/a.html",
                          "<html><body><a href=\"gone.html\" alt>gone</a>"
                          "<a href=\"index.html\" alt>home</a></body></html>");
        server_.ServeFile("/site/logo.png", "image/png", "\x89PNG");
    }
    std::string Url(const std::string& path) const { return server_.Url(path); }
    std::string Fill(const std::string& text) const { return WithOrigin(text, server_.Origin()); }

    LoopbackHttpServer server_;
};

TEST_F(LoopbackSite, ListsCarryReasonsFurtherReferrersAndHowTheRunEnded) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        {{}, 1, kFullOutput},
        {{"--quiet"},
         1,
         "{o}/site/gone.html <- {o}/site/a.html [404 Not Found]\n <- {o}/site/index.html\n"
         "{o}/site/missing.png <- {o}/site/index.html [404 Not Found]\n"
         "Finished (2 broken, 3 successful, 1 skipped, 0 advisories)\n"},
        // --skip lists matching URLs without requesting them.
        {{"-q", "--skip", "gone\\.html$", "--skip=miss"},
         0,
         "Finished (0 broken, 3 successful, 3 skipped, 0 advisories)\n"},
    };
    const auto asked = [this] {
        return server_.RequestCount("/site/gone.html") + server_.RequestCount("/site/missing.png");
    };
    for (auto [args, status, out] : cases) {
        args.push_back(Url("/site/index.html"));
        const int before = asked();
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, Fill(out));
        EXPECT_EQ(asked() > before, status != 0) << "only what is not skipped is requested";
    }
}

// Headers go to the start host only, not even through a redirect; the user agent everywhere.
// Control characters a page puts in its URLs, which could forge list lines or drive the terminal,
// are printed escaped.
TEST_F(LoopbackSite, HeadersAndUserAgentAndControlCharactersInUrls) {
    LoopbackHttpServer other;
    other.ServeFile("/pic.png", "image/png", "\x89PNG");
    server_.ServePage("/site/away.html", "<html></html>");  // HEAD says 200; GET moves away
    server_.ServeFor("GET", "/site/away.html",
                     {"HTTP/1.1 302 Found", {{"Location", other.Url("/landing.html")}}, ""});
    server_.ServePage("/site/mixed.html",
                      "<img src=\"" + other.Url("/pic.png") +
                          "\" alt><img src=\"http://a&#27;[2J&#13;b.invalid/\" alt>"
                          "<a href=away.html alt>a</a>");
    const CliResult run =
        RunCli({"--header", "X-Token: s3cret", "--user-agent", "Probe/2", Url("/site/mixed.html")});
    EXPECT_EQ(run.status, 1) << run.err << run.out;
    for (const auto& [host, token] : {std::pair{&server_, "s3cret"}, std::pair{&other, ""}}) {
        ASSERT_GT(host->RequestCount(), 0);
        for (const auto& request : host->Requests()) {
            EXPECT_EQ(request.HeaderValue("X-Token"), token) << request.target;
            EXPECT_EQ(request.HeaderValue("User-Agent"), "Probe/2") << request.target;
        }
    }
    EXPECT_NE(run.out.find("  http://a%1B[2J%0Db.invalid/ <- "), std::string::npos) << run.out;
    for (const char c : run.out) {
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    }
}

TEST_F(LoopbackSite, ReportThatCannotBeWritten) {
    const CliResult early = RunCli({"--report", "/nonexistent-dir/site.log", Url("/site/a.html")});
    EXPECT_EQ(early.status, 3);
    EXPECT_EQ(early.out, "");
    EXPECT_EQ(early.err,
              "quillorbane-cli: cannot write the report file '/nonexistent-dir/site.log'"
              ": No such file or directory\n");
    EXPECT_EQ(RunCli({"--output", "/nonexistent-dir/out.json", Url("/site/a.html")}).status, 3);
    EXPECT_EQ(server_.RequestCount(), 0);
}

// --output takes the text; the JSON document says what the report says, URL by URL in the order
// the verdicts were given, and keeps header values (credentials) out.
TEST_F(LoopbackSite, OutputFileAndJsonDocumentAgreeWithTheReport) {
    const std::string report = TempPath("report"), output = TempPath("json");
    EXPECT_EQ(RunCli({"--output", output, Url("/site/index.html")}).out, "");
    EXPECT_EQ(ReadFile(output), Fill(kFullOutput));
    const CliResult run = RunCli({"--format=json", "--output", output, "--report", report,
                                  "--header", "X-Token: s3cret", Url("/site/index.html")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string written = ReadFile(output);
    EXPECT_EQ(written.find("s3cret"), std::string::npos);
    const Json doc = Json::parse(written);
    const Json& facts = doc["run"];
    EXPECT_EQ(facts["startUrl"], Url("/site/index.html"));
    EXPECT_EQ(facts["baseUrl"], Url("/site/"));
    EXPECT_EQ(facts["ended"], "finished");
    EXPECT_EQ(facts["options"]["headers"], Json::array({"X-Token"}));
    EXPECT_EQ(facts["options"]["report"], report);
    const std::regex iso("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ");
    EXPECT_TRUE(std::regex_match(facts["startedAt"].get<std::string>(), iso)) << facts;
    EXPECT_LE(facts["startedAt"], facts["endedAt"]);
    EXPECT_EQ(facts["counts"],
              Json::parse(R"({"valid": 3, "broken": 2, "skipped": 1, "advisories": 0})"));

    // Each URL's report record: the same verdict, load time and first referrer.
    const std::string records = ReadFile(report);
    Json urls = doc["urls"];
    for (Json& url : urls) {
        EXPECT_EQ(url["loadMilliseconds"].get<int>() / 1000, url["loadSeconds"].get<int>());
        const std::string referrer = url["kind"] == "start" ? "" : url["referrers"][0];
        const std::string record = url["verdict"].dump() + "," + url["loadSeconds"].dump() + "," +
                                   url["url"].dump() + ",\"" + referrer + "\"\r\n";
        EXPECT_NE(records.find(record), std::string::npos) << record << records;
        url.erase("loadSeconds");
        url.erase("loadMilliseconds");
    }
    // clang-format off
    EXPECT_EQ(urls, Json::parse(Fill(R"([
        {"url": "{o}/site/logo.png", "verdict": "valid", "reason": "200 OK", "status": 200, "kind": "image", "referrers": ["{o}/site/index.html"]},
        {"url": "{o}/site/missing.png", "verdict": "broken", "reason": "404 Not Found", "status": 404, "kind": "image", "referrers": ["{o}/site/index.html"]},
        {"url": "{o}/site/gone.html", "verdict": "broken", "reason": "404 Not Found", "status": 404, "kind": "link", "referrers": ["{o}/site/a.html", "{o}/site/index.html"]},
        {"url": "{o}/site/a.html", "verdict": "valid", "reason": "200 OK", "status": 200, "kind": "link", "referrers": ["{o}/site/index.html"]},
        {"url": "mailto:bees@site.invalid", "verdict": "skipped", "reason": "not followed: mailto:", "status": null, "kind": "link", "referrers": ["{o}/site/index.html"]},
        {"url": "{o}/site/index.html", "verdict": "valid", "reason": "200 OK", "status": 200, "kind": "start", "referrers": ["{o}/site/a.html"]}])")));
    // clang-format on
    fs::remove(report);
    fs::remove(output);
}

// A server's status line in Latin-1 must not make the document unreadable: the reason is the
// standard phrase of the code.
TEST_F(LoopbackSite, JsonStaysReadableWhenAServerSpeaksLatin1) {
    server_.ServeStatusLine("/site/latin.png", "HTTP/1.1 404 Introuvable \xE9t\xE9");
    server_.ServePage("/site/latin.html", "<img src=\"latin.png\" alt width=1 height=1>");
    const CliResult run = RunCli({"--format", "json", Url("/site/latin.html")});
    EXPECT_EQ(run.status, 1) << run.err;
    const Json doc = Json::parse(run.out);
    EXPECT_EQ(doc["urls"][0]["reason"], "404 Not Found");
    EXPECT_EQ(doc["urls"][0]["status"], 404);
}

// A stop signal acts as the first Ctrl-C: the page being loaded is broken ("stopped"), the page
// above it good, nothing after it taken; the lists are printed (SIGHUP: the JSON document), the
// report written.
class StopSignal : public testing::TestWithParam<int> {};

TEST_P(StopSignal, StopsPrintsReportsAndExitsWith128PlusItsNumber) {
    LoopbackHttpServer server;
    server.ServePage("/index.html",
                     "<a href=\"held.html\" alt>h</a><a href=\"after.html\" alt>a</a>");
    server.ServeInTwoParts("/held.html", "text/html", "<html><title>Held", "</title></html>");
    server.ServePage("/after.html", "<html></html>");
    const std::string report = TempPath("stop");
    const bool json = GetParam() == SIGHUP;
    CliProcess process({"--no-lookahead", "--report", report,
                        json ? "--format=json" : "--format=text", server.Url("/index.html")});
    ASSERT_TRUE(server.WaitForRequest("/held.html", 2));  // the probe, then the page load
    process.SendSignal(GetParam());
    const CliResult run = process.Finish();

    EXPECT_EQ(run.status, 128 + GetParam()) << run.err;
    if (json) {
        const Json doc = Json::parse(run.out);
        EXPECT_EQ(doc["run"]["ended"], "stopped");
        EXPECT_EQ(doc["urls"][0]["url"], server.Url("/held.html"));
        EXPECT_EQ(doc["urls"][0]["reason"], "stopped");
    } else {
        EXPECT_EQ(run.out,
                  WithOrigin("Successful Links: 1\n  {o}/index.html\n\nSkipped Links: 0\n\n"
                             "Broken Links: 1\n  {o}/held.html <- {o}/index.html [stopped]"
                             "\n\nAdvisories: 0\nReport: " +
                                 report + "\nStopped\n",
                             server.Origin()));
    }
    // The report, with the load time the stopped page took.
    const std::string records = ReadFile(report);
    const std::size_t held =
        records.find(WithOrigin(",\"{o}/held.html\",\"{o}/index.html\"\r\n", server.Origin()));
    ASSERT_NE(held, std::string::npos) << records;
    EXPECT_EQ(records.rfind("\r\n\"broken\",", held), records.find("\r\n")) << records;
    fs::remove(report);
    EXPECT_EQ(server.RequestCount("/after.html"), 0);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, StopSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return "SIG" + std::string(sigabbrev_np(info.param));
                         });

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    std::string firstLine;
};

class BadCommandLine : public testing::TestWithParam<UsageCase> {};

TEST_P(BadCommandLine, ExitsTwoWithOneClearLineBeforeAnyRequest) {
    const CliResult run = RunCli(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quillorbane-cli: " + GetParam().firstLine +
                           "\nTry 'quillorbane-cli --help' for more information.\n");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(EndToEnd, BadCommandLine, testing::Values(
    UsageCase{"OtherScheme", {"ftp://example.test/"},
              "'ftp://example.test/': cannot crawl ftp: URLs, only http:, https: and file:"},
    UsageCase{"NoHost", {"http://"}, "'http://' is not a URL that can be crawled: No host part in the URL"},
    UsageCase{"OddExcludeWarnedFirst", {"--exclude", "zip", "no/such/site"},
              "warning: --exclude 'zip' does not look like an extension such as .zip: every URL that ends in it is checked but not walked (to leave URLs alone, use --skip)\n"
              "quillorbane-cli: 'no/such/site' is neither a URL (such as http://host/page.html) nor an existing file or directory"},
    UsageCase{"UnknownFormat", {"--format", "xml", "x"}, "--format needs text or json, got 'xml'"},
    UsageCase{"OutputOverReport", {"--output=r.csv", "--report", "r.csv", "x"},
              "--output and --report name the same file 'r.csv': one would overwrite the other"},
    UsageCase{"ControlCharactersEscaped", {"--fast\x1b[2J"}, "unknown option '--fast%1B[2J'"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return info.param.name; });
// clang-format on

}  // namespace
}  // namespace quill::cli
