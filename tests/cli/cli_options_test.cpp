// The command line's options: what each one sets, the one-line message for every bad one, the
// warning for odd exclusions, and which of help and version wins.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace quill::cli {
namespace {

const std::string kUrl = "http://site/dir/index.html";
using Strings = std::vector<std::string>;
using O = const CliOptions&;

struct OptionCase {
    const char* name;
    Strings args;
    std::function<void(O)> expect;
};

class OptionsThatParse : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionsThatParse, SetWhatTheyName) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().args);
    ASSERT_EQ(parsed.command, CliCommand::kCrawl) << parsed.error;
    GetParam().expect(parsed.options);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLine, OptionsThatParse, testing::Values(
    OptionCase{"DefaultsMirrorTheWindow", {kUrl}, [](O o) {
        EXPECT_EQ(o.startUrl, kUrl);
        EXPECT_FALSE(o.baseUrl || o.connections || o.connectionsPerHost || o.quiet);
        EXPECT_EQ(o.timeoutSeconds, 60);
        EXPECT_EQ(o.maxDepth, 0);
        EXPECT_TRUE(o.external && o.images && o.applets && o.scriptsAndStyles && o.links && o.frames && o.forms && o.lookAhead);
        EXPECT_EQ(o.excludedExtensions, (Strings{".zip", ".ram", ".tar", ".exe", ".c", ".cpp", ".h", ".cdf", ".pdf"}));
        EXPECT_TRUE(o.reportPath.empty() && o.skipPatterns.empty() && o.headers.empty() && o.userAgent.empty());
    }},
    OptionCase{"ValuesSpacedOrJoined", {"--base", "http://site/", kUrl, "--timeout=5", "--max-depth", "2", "--report", "out.csv"},
               [](O o) { EXPECT_EQ(o.baseUrl, "http://site/"); EXPECT_EQ(o.timeoutSeconds, 5); EXPECT_EQ(o.maxDepth, 2); EXPECT_EQ(o.reportPath, "out.csv"); }},
    OptionCase{"FlagsTurnTheirBoxOff", {"--no-external", "--no-forms", "--no-lookahead", kUrl},
               [](O o) { EXPECT_FALSE(o.external || o.forms || o.lookAhead); EXPECT_TRUE(o.frames && o.images); }},
    OptionCase{"ExcludeRepeatsInOrderReplacingTheDefaults", {"--exclude", ".gz", "--exclude=PDF", kUrl},
               [](O o) { EXPECT_EQ(o.excludedExtensions, (Strings{".gz", "PDF"})); }},
    OptionCase{"NoDefaultExcludes", {"--exclude", ".gz", "--no-default-excludes", kUrl},
               [](O o) { EXPECT_EQ(o.excludedExtensions, Strings{".gz"}); }},
    OptionCase{"SkipAndHeadersRepeat", {"--skip", "/ads/", "--skip=\\.pdf$", "--header", "Authorization: Bearer x", "--header=X-A:1", kUrl},
               [](O o) { EXPECT_EQ(o.skipPatterns, (Strings{"/ads/", "\\.pdf$"})); EXPECT_EQ(o.headers, (Strings{"Authorization: Bearer x", "X-A:1"})); }},
    OptionCase{"UserAgentAndQuiet", {"--user-agent", "Probe/2 (ci)", "-q", kUrl},
               [](O o) { EXPECT_EQ(o.userAgent, "Probe/2 (ci)"); EXPECT_TRUE(o.quiet); }},
    OptionCase{"DoubleDashEndsOptions", {"--", "--odd-name.html"}, [](O o) { EXPECT_EQ(o.startUrl, "--odd-name.html"); }}),
    [](const testing::TestParamInfo<OptionCase>& info) { return info.param.name; });
// clang-format on

struct ErrorCase {
    const char* name;
    Strings args;
    std::string message;
};

class OptionsThatFail : public testing::TestWithParam<ErrorCase> {};

TEST_P(OptionsThatFail, NameTheBadOptionOrValue) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().args);
    EXPECT_EQ(parsed.command, CliCommand::kUsageError);
    EXPECT_EQ(parsed.error, GetParam().message);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLine, OptionsThatFail, testing::Values(
    ErrorCase{"OnlyOptions", {"--no-images"}, "missing START_URL"},
    ErrorCase{"TimeoutNegative", {"--timeout", "-3", kUrl}, "--timeout needs a whole number from 0 up, got '-3'"},
    ErrorCase{"ValueMissing", {kUrl, "--base"}, "--base needs a value"},
    ErrorCase{"EmptyValues", {"--exclude=", kUrl}, "--exclude needs an extension such as .zip, got ''"},
    ErrorCase{"FlagGivenAValue", {"--quiet=1", kUrl}, "--quiet takes no value, got '--quiet=1'"},
    ErrorCase{"SkipNotARegex", {"--skip", "(ads", kUrl},
              "--skip needs a regular expression, got '(ads': " + std::string(std::regex_error(std::regex_constants::error_paren).what())},
    ErrorCase{"HeaderWithoutColon", {"--header", "X-Token s3cret", kUrl}, "--header needs \"Name: value\", got 'X-Token s3cret'"},
    ErrorCase{"HeaderSmugglingALine", {"--header", "X-A: 1\r\nHost: evil", kUrl}, "--header needs \"Name: value\", got 'X-A: 1\r\nHost: evil'"},
    ErrorCase{"UserAgentEmpty", {"--user-agent=", kUrl}, "--user-agent needs one line of text, got ''"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });
// clang-format on

TEST(ExcludeWarning, ForValuesThatDoNotLookLikeExtensions) {
    EXPECT_TRUE(
        ParseCommandLine({"--exclude", ".tar.gz", "--exclude", ".PDF", kUrl}).warnings.empty());
    const Strings odd = {"--exclude=zip", "--exclude=*.zip", "--exclude=.z/p", "--exclude=.", kUrl};
    EXPECT_EQ(ParseCommandLine(odd).warnings.size(), 4u);
}

TEST(HelpAndVersion, HelpWinsOverWhatFollows) {
    EXPECT_EQ(ParseCommandLine({"-h", "--bogus"}).command, CliCommand::kHelp);
    EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).command, CliCommand::kUsageError);
    EXPECT_EQ(ParseCommandLine({kUrl, "--version"}).command, CliCommand::kVersion);
}

}  // namespace
}  // namespace quill::cli
