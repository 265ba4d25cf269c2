// The crawl scope: the visit mode of every found link or frame, from the base URL, the
// follow-external flag and the excluded extensions.
#include "scope/visit_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::VisitControl {
namespace {

constexpr bool kFlagOn = true;
constexpr bool kFlagOff = false;

struct ModeCase {
    const char* name;
    const char* base;
    bool followExternal;
    std::vector<std::string> excluded;
    const char* url;
    const char* referrer;
    int mode;
};

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

class VisitMode : public testing::TestWithParam<ModeCase> {};

TEST_P(VisitMode, Is) {
    const ModeCase& c = GetParam();
    SetScope(c.base, c.followExternal, c.excluded);
    EXPECT_EQ(GetVisitMode(c.url, c.referrer), c.mode);
}

const char* const kBase = "http://site/dir/";
const char* const kInside = "http://site/dir/x.html";
const char* const kOutside = "http://other/x.html";

INSTANTIATE_TEST_SUITE_P(
    Scope, VisitMode,
    testing::Values(
        ModeCase{
            "UnderBaseIsFollowed", kBase, kFlagOn, {}, "http://site/dir/a.html", kInside, kFollow},
        ModeCase{
            "LetterCaseIgnored", kBase, kFlagOff, {}, "HTTP://SITE/DIR/a.html", kOutside, kFollow},
        ModeCase{"BaseItselfIsFollowed", kBase, kFlagOn, {}, "http://site/dir/", "", kFollow},
        ModeCase{"ExternalFromInsideFlagOnIsChecked",
                 kBase,
                 kFlagOn,
                 {},
                 "http://site/other.html",
                 kInside,
                 kCheckOnly},
        ModeCase{"ExternalFromInsideFlagOffIsSkipped",
                 kBase,
                 kFlagOff,
                 {},
                 "http://site/other.html",
                 kInside,
                 kSkip},
        ModeCase{"ExternalFromOutsideFlagOnIsSkipped",
                 kBase,
                 kFlagOn,
                 {},
                 "http://x/a.html",
                 kOutside,
                 kSkip},
        ModeCase{"ExternalFromOutsideFlagOffIsSkipped",
                 kBase,
                 kFlagOff,
                 {},
                 "http://x/a.html",
                 kOutside,
                 kSkip},
        ModeCase{"ExcludedInOtherLetterCase",
                 kBase,
                 kFlagOn,
                 {".zip"},
                 "http://site/dir/a.ZIP",
                 kInside,
                 kCheckOnly},
        ModeCase{"ExcludedFollowedByQueryDoesNotEnd",
                 kBase,
                 kFlagOn,
                 {".zip"},
                 "http://site/dir/a.zip?x=1",
                 kInside,
                 kFollow},
        ModeCase{"ExcludedAtEndOfQuery",
                 kBase,
                 kFlagOn,
                 {".zip"},
                 "http://site/dir/get?f=a.zip",
                 kInside,
                 kCheckOnly},
        ModeCase{"EntryWithoutDot",
                 kBase,
                 kFlagOn,
                 {"zip"},
                 "http://site/dir/gzip",
                 kInside,
                 kCheckOnly},
        ModeCase{"LaterEntryMatches",
                 kBase,
                 kFlagOn,
                 {".pdf", ".exe", ".zip"},
                 "http://site/dir/a.zip",
                 kInside,
                 kCheckOnly},
        ModeCase{"EntryEqualToUrlDoesNotMatch",
                 kBase,
                 kFlagOn,
                 {"http://site/dir/a.zip"},
                 "http://site/dir/a.zip",
                 kInside,
                 kFollow},
        ModeCase{"EntryLongerThanUrlDoesNotMatch",
                 kBase,
                 kFlagOn,
                 {"xhttp://site/dir/a.zip"},
                 "http://site/dir/a.zip",
                 kInside,
                 kFollow},
        ModeCase{"EmptyEntryMatchesNothing",
                 kBase,
                 kFlagOn,
                 {""},
                 "http://site/dir/a.html",
                 kInside,
                 kFollow},
        ModeCase{"EmptyEntryDoesNotHideLaterOnes",
                 kBase,
                 kFlagOn,
                 {"", ".zip"},
                 "http://site/dir/a.zip",
                 kInside,
                 kCheckOnly},
        ModeCase{"ExcludedOutOfScopeStillSkipped",
                 kBase,
                 kFlagOff,
                 {".zip"},
                 "http://x/a.zip",
                 kInside,
                 kSkip},
        ModeCase{"ExcludedExternalIsChecked",
                 kBase,
                 kFlagOn,
                 {".zip"},
                 "http://x/a.zip",
                 kInside,
                 kCheckOnly},
        ModeCase{"HttpsUnderHttpsBaseIsFollowed",
                 "https://site/dir/",
                 kFlagOn,
                 {},
                 "https://site/dir/page.html",
                 "https://site/dir/",
                 kFollow},
        ModeCase{"HttpsInCapitalsIsFollowed",
                 "https://site/dir/",
                 kFlagOn,
                 {},
                 "HTTPS://site/dir/page.html",
                 "https://site/dir/",
                 kFollow},
        ModeCase{"HttpsFromHttpPageIsChecked",
                 kBase,
                 kFlagOn,
                 {},
                 "https://site/dir/page.html",
                 kInside,
                 kCheckOnly},
        ModeCase{"HttpsOutsideFlagOffIsSkipped",
                 kBase,
                 kFlagOff,
                 {},
                 "https://site/dir/page.html",
                 kInside,
                 kSkip},
        ModeCase{"FtpExcludedIsChecked",
                 "ftp://site/",
                 kFlagOn,
                 {".zip"},
                 "ftp://site/a.zip",
                 "ftp://site/",
                 kCheckOnly},
        ModeCase{"FtpNotExcludedIsSkipped",
                 "ftp://site/",
                 kFlagOn,
                 {".zip"},
                 "ftp://site/a.txt",
                 "ftp://site/",
                 kSkip},
        ModeCase{"FileUnderFileBaseIsFollowed",
                 "file:///c:/site/",
                 kFlagOn,
                 {},
                 "file:///c:/site/index.htm",
                 "file:///c:/site/",
                 kFollow},
        ModeCase{"EmptyBaseFollowsAnyHttpUrl", "", kFlagOff, {}, "http://anything/", "", kFollow},
        ModeCase{"EmptyBaseSkipsMailto", "", kFlagOn, {}, "mailto:me@site", kInside, kSkip},
        ModeCase{"JavascriptIsSkipped", kBase, kFlagOn, {}, "javascript:void(0)", kInside, kSkip},
        ModeCase{
            "SchemeOnlyPrefixIsNotEnough", kBase, kFlagOn, {}, "httpx://site/", kInside, kSkip},
        ModeCase{"EmptyUrlIsSkipped", kBase, kFlagOn, {}, "", kInside, kSkip},
        ModeCase{"EmptyUrlWithEmptyBaseIsSkipped", "", kFlagOn, {}, "", "", kSkip},
        ModeCase{"ShorterThanBaseFromInsideIsChecked",
                 kBase,
                 kFlagOn,
                 {},
                 "http://site/",
                 kInside,
                 kCheckOnly}),
    [](const auto& info) { return std::string(info.param.name); });

class VisitControlState : public testing::Test {
  protected:
    void SetUp() override { SetScope(kBase, kFlagOn, {}); }
};

TEST_F(VisitControlState, ResetSwitchesTheFlagOn) {
    SetFollowExternal(false);
    ResetVisitControl();
    EXPECT_TRUE(FollowExternal());
}

TEST_F(VisitControlState, FlagChangedMidRunDecidesEveryLaterTest) {
    EXPECT_EQ(GetVisitMode(kOutside, kInside), kCheckOnly);
    SetFollowExternal(false);
    EXPECT_EQ(GetVisitMode(kOutside, kInside), kSkip);
}

TEST_F(VisitControlState, EntriesAreKeptAsGivenDuplicatesIncluded) {
    const std::vector<std::string> entries = {" .Zip ", ".zip", ".zip", "", "exe"};
    for (const std::string& entry : entries) {
        AddExcludedExtension(entry);
    }
    EXPECT_EQ(ExcludedExtensions(), entries);
    ClearExcludedExtensions();
    EXPECT_TRUE(ExcludedExtensions().empty());
    EXPECT_EQ(GetVisitMode("http://site/dir/a.exe", kInside), kFollow);
}

TEST_F(VisitControlState, ListHoldsMoreEntriesThanASixteenBitCount) {
    constexpr int kEntries = 40000;
    for (int i = 0; i < kEntries; ++i) {
        AddExcludedExtension(".x" + std::to_string(i));
    }
    EXPECT_EQ(static_cast<int>(ExcludedExtensions().size()), kEntries);
    EXPECT_EQ(GetVisitMode("http://site/dir/a.x39999", kInside), kCheckOnly);
}

}  // namespace
}  // namespace quill::VisitControl
