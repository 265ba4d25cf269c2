// The text rules for URLs found in a page: directory and site-root URLs, URLs as written in
// scripts, style sheets and forms, and fragments.
#include "crawl/page_urls.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quill {
namespace {

// Raw text, page URL and the URL it stands for; without raw text, the page URL's directory and
// site root.
class PageUrlsTest : public testing::TestWithParam<std::array<const char*, 3>> {};

TEST_P(PageUrlsTest, FollowTheTextRules) {
    const auto& [raw, pageURL, expected] = GetParam();
    EXPECT_EQ(raw == nullptr ? DirectoryURL(pageURL) + " " + SiteRootURL(pageURL)
                             : ResolveAsWritten(raw, pageURL),
              expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PageUrlsTest,
    testing::Values(std::array{"/js/a.js", "http://host/dir/p.html", "http://host/js/a.js"},
                    std::array{"HTTPS://cdn/x.js", "http://host/dir/p.html", "HTTPS://cdn/x.js"},
                    std::array{"//cdn/x.js", "https://host/p.html", "https://cdn/x.js"},
                    std::array{"../up.css", "http://host/a/b.html", "http://host/a/../up.css"},
                    std::array{"", "http://host/dir/p.html", "http://host/dir/"},
                    std::array{"mailto:me@host", "http://host/d/p.html",
                               "http://host/d/mailto:me@host"},
                    std::array{"a.css", "http://host", "http://a.css"},
                    std::array{"/x.css", "file:///srv/site/index.html", "file:///x.css"},
                    std::array{"x.js", "about:blank", "x.js"},
                    std::array<const char*, 3>{nullptr, "http://host/p?a=b/c",
                                               "http://host/p?a=b/ http://host/"},
                    std::array<const char*, 3>{nullptr, "http://host", "http:// http://"},
                    std::array<const char*, 3>{nullptr, "about:blank", " "}));

TEST(FragmentTest, CutAtTheFirstHashAndDecoded) {
    EXPECT_EQ(WithoutFragment("http://h/p.html#a#b"), "http://h/p.html");
    EXPECT_EQ(DecodeFragment("caf%C3%A9"), "caf\xC3\xA9");
    EXPECT_EQ(DecodeFragment("100%"), "100%");
}

}  // namespace
}  // namespace quill
