// The crawl scope: the visit mode of every found link or frame, from the base URL, the
// follow-external flag and the excluded extensions.
#include "scope/visit_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::VisitControl {
namespace {

constexpr bool kOn = true;
constexpr bool kOff = false;

void SetScope(const std::string& base, bool followExternal,
              const std::vector<std::string>& excluded) {
    ResetVisitControl();
    SetFollowExternal(followExternal);
    SetBaseURL(base);
    ClearExcludedExtensions();
    for (const std::string& entry : excluded) {
        AddExcludedExtension(entry);
    }
}

struct ModeCase {
    const char* name;
    const char* base;
    bool followExternal;
    std::vector<std::string> excluded;
    const char* url;
    const char* referrer;
    int mode;
};

class VisitMode : public testing::TestWithParam<ModeCase> {};

TEST_P(VisitMode, Is) {
    const ModeCase& c = GetParam();
    SetScope(c.base, c.followExternal, c.excluded);
    EXPECT_EQ(GetVisitMode(c.url, c.referrer), c.mode);
}

const char* const kBase = "http://site/dir/";
const char* const kIn = "http://site/dir/x.html";
const char* const kOut = "http://other/x.html";
const char* const kHttps = "https://site/dir/";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Scope, VisitMode,
    testing::Values(
        ModeCase{"UnderBaseIsFollowed", kBase, kOn, {}, "http://site/dir/a.html", kIn, kFollow},
        ModeCase{"LetterCaseIgnored", kBase, kOff, {}, "HTTP://SITE/DIR/a.html", kOut, kFollow},
        ModeCase{"BaseItselfIsFollowed", kBase, kOn, {}, "http://site/dir/", "", kFollow},
        ModeCase{"ExternalFromInsideFlagOnIsChecked", kBase, kOn, {}, "http://site/other.html", kIn, kCheckOnly},
        ModeCase{"ExternalFromInsideFlagOffIsSkipped", kBase, kOff, {}, "http://site/other.html", kIn, kSkip},
        ModeCase{"ExternalFromOutsideIsSkipped", kBase, kOn, {}, "http://x/a.html", kOut, kSkip},
        ModeCase{"ShorterThanBaseFromInsideIsChecked", kBase, kOn, {}, "http://site/", kIn, kCheckOnly},
        ModeCase{"ExcludedInOtherLetterCase", kBase, kOn, {".zip"}, "http://site/dir/a.ZIP", kIn, kCheckOnly},
        ModeCase{"ExcludedFollowedByQueryDoesNotEnd", kBase, kOn, {".zip"}, "http://site/dir/a.zip?x=1", kIn, kFollow},
        ModeCase{"ExcludedAtEndOfQuery", kBase, kOn, {".zip"}, "http://site/dir/get?f=a.zip", kIn, kCheckOnly},
        ModeCase{"EntryWithoutDot", kBase, kOn, {"zip"}, "http://site/dir/gzip", kIn, kCheckOnly},
        ModeCase{"LaterEntryMatches", kBase, kOn, {".pdf", ".exe", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        ModeCase{"EntryEqualToUrlDoesNotMatch", kBase, kOn, {"http://site/dir/a.zip"}, "http://site/dir/a.zip", kIn, kFollow},
        ModeCase{"EntryLongerThanUrlDoesNotMatch", kBase, kOn, {"xhttp://site/dir/a.zip"}, "http://site/dir/a.zip", kIn, kFollow},
        ModeCase{"EmptyEntryMatchesNothing", kBase, kOn, {""}, "http://site/dir/a.html", kIn, kFollow},
        ModeCase{"EmptyEntryDoesNotHideLaterOnes", kBase, kOn, {"", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        ModeCase{"ExcludedOutOfScopeStillSkipped", kBase, kOff, {".zip"}, "http://x/a.zip", kIn, kSkip},
        ModeCase{"ExcludedExternalIsChecked", kBase, kOn, {".zip"}, "http://x/a.zip", kIn, kCheckOnly},
        ModeCase{"HttpsUnderHttpsBaseIsFollowed", kHttps, kOn, {}, "https://site/dir/page.html", kHttps, kFollow},
        ModeCase{"HttpsInCapitalsIsFollowed", kHttps, kOn, {}, "HTTPS://site/dir/page.html", kHttps, kFollow},
        ModeCase{"HttpsFromHttpPageIsChecked", kBase, kOn, {}, "https://site/dir/page.html", kIn, kCheckOnly},
        ModeCase{"HttpsOutsideFlagOffIsSkipped", kBase, kOff, {}, "https://site/dir/page.html", kIn, kSkip},
        ModeCase{"FtpExcludedIsChecked", "ftp://site/", kOn, {".zip"}, "ftp://site/a.zip", "ftp://site/", kCheckOnly},
        ModeCase{"FtpNotExcludedIsSkipped", "ftp://site/", kOn, {".zip"}, "ftp://site/a.txt", "ftp://site/", kSkip},
        ModeCase{"FileUnderFileBaseIsFollowed", "file:///c:/site/", kOn, {}, "file:///c:/site/index.htm", "file:///c:/site/", kFollow},
        ModeCase{"EmptyBaseFollowsAnyHttpUrl", "", kOff, {}, "http://anything/", "", kFollow},
        ModeCase{"EmptyBaseSkipsMailto", "", kOn, {}, "mailto:me@site", kIn, kSkip},
        ModeCase{"JavascriptIsSkipped", kBase, kOn, {}, "javascript:void(0)", kIn, kSkip},
        ModeCase{"SchemeOnlyPrefixIsNotEnough", kBase, kOn, {}, "httpx://site/", kIn, kSkip},
        ModeCase{"EmptyUrlIsSkipped", kBase, kOn, {}, "", kIn, kSkip}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(VisitControlState, ResetSwitchesTheFlagOnAndAChangeMidRunDecidesLaterTests) {
    SetScope(kBase, kOff, {});
    ResetVisitControl();
    SetBaseURL(kBase);
    EXPECT_TRUE(FollowExternal());
    EXPECT_EQ(GetVisitMode(kOut, kIn), kCheckOnly);
    SetFollowExternal(false);
    EXPECT_EQ(GetVisitMode(kOut, kIn), kSkip);
}

TEST(VisitControlState, EntriesAreKeptAsGivenDuplicatesIncludedUntilCleared) {
    const std::vector<std::string> entries = {" .Zip ", ".zip", ".zip", "", "exe"};
    SetScope(kBase, kOn, entries);
    EXPECT_EQ(ExcludedExtensions(), entries);
    ClearExcludedExtensions();
    EXPECT_TRUE(ExcludedExtensions().empty());
    EXPECT_EQ(GetVisitMode("http://site/dir/a.exe", kIn), kFollow);
}

}  // namespace
}  // namespace quill::VisitControl
