// The command line's options: what each one sets, and the one-line message for every bad one.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quill::cli {
namespace {

const std::string kUrl = "http://site/dir/index.html";

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(const CliOptions&)> expect;
};

class OptionsThatParse : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionsThatParse, SetWhatTheyName) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().args);
    ASSERT_EQ(parsed.command, CliCommand::kCrawl) << parsed.error;
    GetParam().expect(parsed.options);
}

const std::vector<std::string> kNine = {".zip", ".ram", ".tar", ".exe", ".c",
                                        ".cpp", ".h",   ".cdf", ".pdf"};

using O = const CliOptions&;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    CommandLine, OptionsThatParse,
    testing::Values(
        OptionCase{"DefaultsMirrorTheWindow", {kUrl}, [](O o) {
            EXPECT_EQ(o.startUrl, kUrl);
            EXPECT_FALSE(o.baseUrl.has_value());
            EXPECT_EQ(o.timeoutSeconds, 60);
            EXPECT_EQ(o.maxDepth, 0);
            EXPECT_TRUE(o.external && o.images && o.applets && o.scriptsAndStyles && o.links &&
                        o.frames && o.forms && o.lookAhead);
            EXPECT_EQ(o.excludedExtensions, kNine);
            EXPECT_EQ(o.reportPath, "");
            EXPECT_FALSE(o.connections.has_value() || o.connectionsPerHost.has_value());
        }},
        OptionCase{"BaseGiven", {"--base", "http://site/", kUrl}, [](O o) { EXPECT_EQ(o.baseUrl, "http://site/"); }},
        OptionCase{"BaseWithEquals", {kUrl, "--base=http://site/"}, [](O o) { EXPECT_EQ(o.baseUrl, "http://site/"); }},
        OptionCase{"Timeout", {"--timeout", "5", kUrl}, [](O o) { EXPECT_EQ(o.timeoutSeconds, 5); }},
        OptionCase{"TimeoutZero", {"--timeout=0", kUrl}, [](O o) { EXPECT_EQ(o.timeoutSeconds, 0); }},
        OptionCase{"MaxDepth", {"--max-depth", "2", kUrl}, [](O o) { EXPECT_EQ(o.maxDepth, 2); }},
        OptionCase{"NoExternal", {"--no-external", kUrl}, [](O o) { EXPECT_FALSE(o.external); EXPECT_TRUE(o.images); }},
        OptionCase{"NoImages", {"--no-images", kUrl}, [](O o) { EXPECT_FALSE(o.images); EXPECT_TRUE(o.applets); }},
        OptionCase{"NoApplets", {"--no-applets", kUrl}, [](O o) { EXPECT_FALSE(o.applets); }},
        OptionCase{"NoScriptsStyles", {"--no-scripts-styles", kUrl}, [](O o) { EXPECT_FALSE(o.scriptsAndStyles); }},
        OptionCase{"NoLinks", {"--no-links", kUrl}, [](O o) { EXPECT_FALSE(o.links); }},
        OptionCase{"NoFrames", {"--no-frames", kUrl}, [](O o) { EXPECT_FALSE(o.frames); }},
        OptionCase{"NoForms", {"--no-forms", kUrl}, [](O o) { EXPECT_FALSE(o.forms); EXPECT_TRUE(o.frames); }},
        OptionCase{"ExcludeRepeatsInOrderReplacingTheDefaults", {"--exclude", ".gz", "--exclude=PDF", kUrl},
                   [](O o) { EXPECT_EQ(o.excludedExtensions, (std::vector<std::string>{".gz", "PDF"})); }},
        OptionCase{"NoDefaultExcludes", {"--no-default-excludes", kUrl}, [](O o) { EXPECT_TRUE(o.excludedExtensions.empty()); }},
        OptionCase{"ExcludeBeforeNoDefaultsIsKept", {"--exclude", ".gz", "--no-default-excludes", kUrl},
                   [](O o) { EXPECT_EQ(o.excludedExtensions, std::vector<std::string>{".gz"}); }},
        OptionCase{"Report", {"--report", "out.log", kUrl}, [](O o) { EXPECT_EQ(o.reportPath, "out.log"); }},
        OptionCase{"NoLookAhead", {"--no-lookahead", kUrl}, [](O o) { EXPECT_FALSE(o.lookAhead); }},
        OptionCase{"Connections", {"--connections", "8", "--connections-per-host=2", kUrl},
                   [](O o) { EXPECT_EQ(o.connections, 8); EXPECT_EQ(o.connectionsPerHost, 2); }},
        OptionCase{"DoubleDashEndsOptions", {"--", "--odd-name.html"}, [](O o) { EXPECT_EQ(o.startUrl, "--odd-name.html"); }},
        OptionCase{"LoneDashIsAStartUrl", {"-"}, [](O o) { EXPECT_EQ(o.startUrl, "-"); }}),
    [](const testing::TestParamInfo<OptionCase>& info) { return info.param.name; });
// clang-format on

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    std::string message;
};

class OptionsThatFail : public testing::TestWithParam<ErrorCase> {};

TEST_P(OptionsThatFail, NameTheBadOptionOrValue) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().args);
    EXPECT_EQ(parsed.command, CliCommand::kUsageError);
    EXPECT_EQ(parsed.error, GetParam().message);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    CommandLine, OptionsThatFail,
    testing::Values(
        ErrorCase{"MissingStartUrl", {}, "missing START_URL"},
        ErrorCase{"OnlyOptions", {"--no-images"}, "missing START_URL"},
        ErrorCase{"EmptyStartUrl", {""}, "the start URL is empty"},
        ErrorCase{"TwoStartUrls", {"a.html", "b.html"}, "more than one start URL: 'a.html' and 'b.html'"},
        ErrorCase{"UnknownOption", {"--colour", kUrl}, "unknown option '--colour'"},
        ErrorCase{"UnknownShortOption", {"-x", kUrl}, "unknown option '-x'"},
        ErrorCase{"TimeoutNotANumber", {"--timeout", "abc", kUrl}, "--timeout needs a whole number, got 'abc'"},
        ErrorCase{"TimeoutFraction", {"--timeout", "1.5", kUrl}, "--timeout needs a whole number, got '1.5'"},
        ErrorCase{"TimeoutEmpty", {"--timeout=", kUrl}, "--timeout needs a whole number, got ''"},
        ErrorCase{"TimeoutNegative", {"--timeout", "-3", kUrl}, "--timeout needs a whole number from 0 up, got '-3'"},
        ErrorCase{"TimeoutTooLarge", {"--timeout", "99999999999", kUrl}, "--timeout is too large, got '99999999999' (at most 2147483647)"},
        ErrorCase{"TimeoutWithoutValue", {kUrl, "--timeout"}, "--timeout needs a value"},
        ErrorCase{"MaxDepthNotANumber", {"--max-depth", "two", kUrl}, "--max-depth needs a whole number, got 'two'"},
        ErrorCase{"MaxDepthNegative", {"--max-depth=-1", kUrl}, "--max-depth needs a whole number from 0 up (0 = unlimited), got '-1'"},
        ErrorCase{"ConnectionsZero", {"--connections", "0", kUrl}, "--connections needs a whole number from 1 up, got '0'"},
        ErrorCase{"ConnectionsPerHostNotANumber", {"--connections-per-host", "many", kUrl}, "--connections-per-host needs a whole number, got 'many'"},
        ErrorCase{"BaseEmpty", {"--base", "", kUrl}, "--base needs a URL, got ''"},
        ErrorCase{"BaseWithoutValue", {kUrl, "--base"}, "--base needs a value"},
        ErrorCase{"ExcludeEmpty", {"--exclude=", kUrl}, "--exclude needs an extension such as .zip, got ''"},
        ErrorCase{"ReportEmpty", {"--report", "", kUrl}, "--report needs a file name, got ''"},
        ErrorCase{"ReportWithoutValue", {kUrl, "--report"}, "--report needs a value"},
        ErrorCase{"FlagGivenAValue", {"--no-images=yes", kUrl}, "--no-images takes no value, got '--no-images=yes'"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });
// clang-format on

TEST(HelpAndVersion, HelpWinsOverWhatFollowsButNotOverAnEarlierError) {
    EXPECT_EQ(ParseCommandLine({"--help"}).command, CliCommand::kHelp);
    EXPECT_EQ(ParseCommandLine({"-h", "--bogus"}).command, CliCommand::kHelp);
    EXPECT_EQ(ParseCommandLine({kUrl, "--help"}).command, CliCommand::kHelp);
    EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).command, CliCommand::kUsageError);
    EXPECT_EQ(ParseCommandLine({"--version"}).command, CliCommand::kVersion);
}

TEST(HelpAndVersion, HelpNamesEveryOptionAndThePathConvenience) {
    const std::string help = UsageText();
    for (const char* option :
         {"--base", "--timeout", "--max-depth", "--no-external", "--no-images", "--no-applets",
          "--no-scripts-styles", "--no-links", "--no-frames", "--no-forms", "--exclude",
          "--no-default-excludes", "--report", "--no-lookahead", "--connections",
          "--connections-per-host", "--help", "--version", "file: URL"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

struct BaseCase {
    const char* name;
    std::string start;
    std::string base;
};

class BaseFromStart : public testing::TestWithParam<BaseCase> {};

TEST_P(BaseFromStart, AsTheWindowDerivesIt) {
    EXPECT_EQ(VisitControl::BaseURLOf(GetParam().start), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, BaseFromStart,
    testing::Values(BaseCase{"PageInDirectory", "http://h/dir/page.htm", "http://h/dir/"},
                    BaseCase{"Directory", "http://h/dir/", "http://h/dir/"},
                    BaseCase{"PageAtRoot", "http://h/page.htm", "http://h/"},
                    BaseCase{"TwoSlashesOnly", "http://h", "http://h"}, BaseCase{"Empty", "", ""},
                    BaseCase{"SlashInQueryCounts", "http://h/p?a=b/c", "http://h/p?a=b/"},
                    BaseCase{"FileUrl", "file:///srv/site/index.html", "file:///srv/site/"}),
    [](const testing::TestParamInfo<BaseCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quill::cli
