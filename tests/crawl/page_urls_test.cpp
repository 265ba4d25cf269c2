// The text rules for URLs found in a page: directory and site-root URLs, URLs as written in
// scripts, style sheets and forms, and fragments.
#include "crawl/page_urls.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

struct ResolveCase {
    const char* name;
    const char* raw;
    const char* pageURL;
    const char* expected;
};

class ResolveAsWrittenTest : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveAsWrittenTest, GivesTheAbsoluteURL) {
    const ResolveCase& c = GetParam();
    EXPECT_EQ(ResolveAsWritten(c.raw, c.pageURL), c.expected);
}

const ResolveCase kResolveCases[] = {
    {"RootRelativeHangsBelowTheSiteRoot", "/js/a.js", "http://host/dir/p.html",
     "http://host/js/a.js"},
    {"HttpIsAbsoluteInAnyLetterCase", "HTTP://cdn/x.js", "http://host/dir/p.html",
     "HTTP://cdn/x.js"},
    {"HttpsInCapitalsIsAbsolute", "HTTPS://cdn/x.js", "http://host/dir/p.html", "HTTPS://cdn/x.js"},
    {"SchemeRelativeTakesThePageScheme", "//cdn/x.js", "http://host/dir/p.html", "http://cdn/x.js"},
    {"DotSegmentsAreKept", "../up.css", "http://host/a/b.html", "http://host/a/../up.css"},
    {"PageWithoutPathGivesSchemeOnlyBases", "a.css", "http://host", "http://a.css"},
    {"EmptyFormActionIsTheDirectory", "", "http://host/dir/p.html", "http://host/dir/"},
    {"OtherSchemesCountAsRelative", "mailto:me@host", "http://host/d/p.html",
     "http://host/d/mailto:me@host"},
    {"FileScheme", "img/a.png", "file:///srv/site/index.html", "file:///srv/site/img/a.png"},
    {"RootOfAFileURLIsItsThirdSlash", "/x.css", "file:///srv/site/index.html", "file:///x.css"},
    {"PageWithoutSlashesHasEmptyBases", "x.js", "about:blank", "x.js"},
};

INSTANTIATE_TEST_SUITE_P(Rules, ResolveAsWrittenTest, testing::ValuesIn(kResolveCases),
                         [](const testing::TestParamInfo<ResolveCase>& info) {
                             return info.param.name;
                         });

struct BaseCase {
    const char* name;
    const char* pageURL;
    const char* directory;
    const char* root;
};

class PageBasesTest : public testing::TestWithParam<BaseCase> {};

TEST_P(PageBasesTest, CutsThePageURL) {
    const BaseCase& c = GetParam();
    EXPECT_EQ(DirectoryURL(c.pageURL), c.directory);
    EXPECT_EQ(SiteRootURL(c.pageURL), c.root);
}

const BaseCase kBaseCases[] = {
    {"PageInADirectory", "http://host/dir/p.html", "http://host/dir/", "http://host/"},
    {"HostOnly", "http://host", "http://", "http://"},
    {"NoSlashAtAll", "about:blank", "", ""},
    {"SlashInTheQueryCounts", "http://host/p?a=b/c", "http://host/p?a=b/", "http://host/"},
};

INSTANTIATE_TEST_SUITE_P(Rules, PageBasesTest, testing::ValuesIn(kBaseCases),
                         [](const testing::TestParamInfo<BaseCase>& info) {
                             return info.param.name;
                         });

TEST(FragmentTest, CutAtTheFirstHashAndDecoded) {
    EXPECT_EQ(WithoutFragment("http://h/p.html#a#b"), "http://h/p.html");
    EXPECT_EQ(DecodeFragment("caf%C3%A9"), "caf\xC3\xA9");
    EXPECT_EQ(DecodeFragment("100%"), "100%");
}

}  // namespace
}  // namespace quill
