// The crawl scope: the visit mode of a found link from base URL, follow-external and exclusions.
#include "scope/visit_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::VisitControl {
namespace {

const char* const kBase = "http://site/dir/";
const char* const kIn = "http://site/dir/x.html";

TEST(VisitMode, FollowsUnderTheBaseChecksOutsideItOrExcludedAndSkipsTheRest) {
    const struct {
        const char* base;
        bool followExternal;
        std::vector<std::string> excluded;
        const char *url, *referrer;
        int mode;
    } cases[] = {
        // clang-format off
        {kBase, true, {}, "http://site/dir/a.html", kIn, kFollow},
        {kBase, false, {}, "HTTP://SITE/DIR/a.html", "http://other/x.html", kFollow},
        {kBase, true, {}, "http://site/other.html", kIn, kCheckOnly},
        {kBase, false, {}, "http://site/other.html", kIn, kSkip},
        {kBase, true, {}, "http://x/a.html", "http://other/x.html", kSkip},
        {kBase, true, {}, "http://site/", kIn, kCheckOnly},
        {kBase, true, {".zip"}, "http://site/dir/a.ZIP", kIn, kCheckOnly},
        {kBase, true, {".zip"}, "http://site/dir/a.zip?x=1", kIn, kFollow},  // does not end so
        {kBase, true, {".pdf", ".exe", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        {kBase, true, {"http://site/dir/a.zip"}, "http://site/dir/a.zip", kIn, kFollow},  // no suffix
        {kBase, true, {""}, "http://site/dir/a.html", kIn, kFollow},
        {kBase, true, {"", ".zip"}, "http://site/dir/a.zip", kIn, kCheckOnly},
        {kBase, false, {".zip"}, "http://x/a.zip", kIn, kSkip},
        {kBase, true, {".zip"}, "http://x/a.zip", kIn, kCheckOnly},
        {"https://site/dir/", true, {}, "https://site/dir/page.html", "https://site/dir/", kFollow},
        {kBase, true, {}, "https://site/dir/page.html", kIn, kCheckOnly},
        {"ftp://site/", true, {".zip"}, "ftp://site/a.zip", "ftp://site/", kCheckOnly},
        {"file:///c:/site/", true, {}, "file:///c:/site/index.htm", "file:///c:/site/", kFollow},
        {"", false, {}, "http://anything/", "", kFollow},
        {"", true, {}, "mailto:me@site", kIn, kSkip},
        {kBase, true, {}, "httpx://site/", kIn, kSkip},
        // clang-format on
    };
    for (const auto& c : cases) {
        ResetVisitControl();
        SetFollowExternal(c.followExternal);
        SetBaseURL(c.base);
        ClearExcludedExtensions();
        for (const std::string& entry : c.excluded) {
            AddExcludedExtension(entry);
        }
        EXPECT_EQ(GetVisitMode(c.url, c.referrer), c.mode) << c.base << " " << c.url;
    }
}

TEST(VisitControlState, ResetSwitchesTheFlagOnAndAChangeMidRunDecidesLaterTests) {
    SetFollowExternal(false);
    ResetVisitControl();
    SetBaseURL(kBase);
    EXPECT_TRUE(FollowExternal());
    EXPECT_EQ(GetVisitMode("http://other/x.html", kIn), kCheckOnly);
    SetFollowExternal(false);
    EXPECT_EQ(GetVisitMode("http://other/x.html", kIn), kSkip);
}

}  // namespace
}  // namespace quill::VisitControl
