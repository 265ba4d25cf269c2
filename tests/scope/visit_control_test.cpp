// The crawl scope: the visit mode of every found link or frame, from the base URL, the
// follow-external flag and the excluded extensions.
#include "scope/visit_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::VisitControl {
namespace {

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
        ModeCase{"UnderBaseIsFollowed", kBase, true, {}, "http://site/dir/a.html", kIn, kFollow},
        ModeCase{"LetterCaseIgnored", kBase, false, {}, "HTTP://SITE/DIR/a.html", kOut, kFollow},
        ModeCase{"ExternalFromInsideFlagOnIsChecked", kBase, true, {}, "http://site/other.html", kIn, kCheckOnly},
        ModeCase{"ExternalFromInsideFlagOffIsSkipped", kBase, false, {}, "http://site/other.html", kIn, kSkip},
        ModeCase{"ExternalFromOutsideIsSkipped", kBase, true, {}, "http://x/a.html", kOut, kSkip},
        ModeCase{"ShorterThanBaseFromInsideIsChecked", kBase, true, {}, "http://site/", kIn, kCheckOnly},
        ModeCase{"ExcludedInOtherLetterCase", kBase, true, {".zip"}, "http://site/dir/a.ZIP", kIn, kCheckOnly},
        ModeCase{"ExcludedFollowedByQueryDoesNotEnd", kBase, true, {".zip"}, "http://site/dir/a.zip?x=1", kIn, kFollow},
        ModeCase{"LaterEntryMatches", kBase, true, {".pdf", ".exe", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        ModeCase{"EntryEqualToUrlDoesNotMatch", kBase, true, {"http://site/dir/a.zip"}, "http://site/dir/a.zip", kIn, kFollow},
        ModeCase{"EmptyEntryMatchesNothing", kBase, true, {""}, "http://site/dir/a.html", kIn, kFollow},
        ModeCase{"EmptyEntryDoesNotHideLaterOnes", kBase, true, {"", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        ModeCase{"ExcludedOutOfScopeStillSkipped", kBase, false, {".zip"}, "http://x/a.zip", kIn, kSkip},
        ModeCase{"ExcludedExternalIsChecked", kBase, true, {".zip"}, "http://x/a.zip", kIn, kCheckOnly},
        ModeCase{"HttpsUnderHttpsBaseIsFollowed", kHttps, true, {}, "https://site/dir/page.html", kHttps, kFollow},
        ModeCase{"HttpsFromHttpPageIsChecked", kBase, true, {}, "https://site/dir/page.html", kIn, kCheckOnly},
        ModeCase{"HttpsOutsideFlagOffIsSkipped", kBase, false, {}, "https://site/dir/page.html", kIn, kSkip},
        ModeCase{"FtpExcludedIsChecked", "ftp://site/", true, {".zip"}, "ftp://site/a.zip", "ftp://site/", kCheckOnly},
        ModeCase{"FileUnderFileBaseIsFollowed", "file:///c:/site/", true, {}, "file:///c:/site/index.htm", "file:///c:/site/", kFollow},
        ModeCase{"EmptyBaseFollowsAnyHttpUrl", "", false, {}, "http://anything/", "", kFollow},
        ModeCase{"EmptyBaseSkipsMailto", "", true, {}, "mailto:me@site", kIn, kSkip},
        ModeCase{"JavascriptIsSkipped", kBase, true, {}, "javascript:void(0)", kIn, kSkip},
        ModeCase{"SchemeOnlyPrefixIsNotEnough", kBase, true, {}, "httpx://site/", kIn, kSkip},
        ModeCase{"EmptyUrlIsSkipped", kBase, true, {}, "", kIn, kSkip}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(VisitControlState, ResetSwitchesTheFlagOnAndAChangeMidRunDecidesLaterTests) {
    SetScope(kBase, false, {});
    ResetVisitControl();
    SetBaseURL(kBase);
    EXPECT_TRUE(FollowExternal());
    EXPECT_EQ(GetVisitMode(kOut, kIn), kCheckOnly);
    SetFollowExternal(false);
    EXPECT_EQ(GetVisitMode(kOut, kIn), kSkip);
}

}  // namespace
}  // namespace quill::VisitControl
