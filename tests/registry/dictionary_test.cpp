// The dictionary: exact keys, insertion order, and refusals that leave it unchanged.
#include "registry/dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

std::vector<std::string> Keys(const Dictionary<int>& dictionary) {
    std::vector<std::string> keys;
    for (const auto& entry : dictionary) {
        keys.push_back(entry.key);
    }
    return keys;
}

Dictionary<int> ThreePages() {
    Dictionary<int> pages;
    pages.Add("http://site/b.html", 2);
    pages.Add("http://site/a.html", 1);
    pages.Add("http://site/c.html", 3);
    return pages;
}

struct LookupCase {
    const char* name;
    const char* key;
    bool present;
};

class DictionaryLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(DictionaryLookup, ComparesKeysExactly) {
    Dictionary<int> pages;
    pages.Add("http://site/Dir/a.html", 7);
    EXPECT_EQ(pages.Contains(GetParam().key), GetParam().present);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DictionaryLookup,
    testing::Values(LookupCase{"SameText", "http://site/Dir/a.html", true},
                    LookupCase{"OtherLetterCase", "http://site/dir/a.html", false},
                    LookupCase{"TrailingSlash", "http://site/Dir/a.html/", false},
                    LookupCase{"Fragment", "http://site/Dir/a.html#top", false},
                    LookupCase{"LeadingBlank", " http://site/Dir/a.html", false},
                    LookupCase{"Encoded", "http://site/%44ir/a.html", false},
                    LookupCase{"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dictionary, ListsEntriesInInsertionOrder) {
    EXPECT_EQ(Keys(ThreePages()),
              (std::vector<std::string>{"http://site/b.html", "http://site/a.html",
                                        "http://site/c.html"}));
}

TEST(Dictionary, RefusalsLeaveEverythingUnchanged) {
    Dictionary<int> pages = ThreePages();
    EXPECT_THROW(pages.Add("http://site/a.html", 99), DuplicateKey);
    EXPECT_THROW(pages.Remove("http://site/A.html"), MissingKey);
    EXPECT_THROW(pages.At("http://site/d.html"), MissingKey);
    EXPECT_EQ(pages, ThreePages());
    EXPECT_EQ(pages.At("http://site/a.html"), 1);
}

TEST(Dictionary, RemovalKeepsTheOrderOfTheOthersAndClearForgetsEveryKey) {
    Dictionary<int> pages = ThreePages();
    pages.Remove("http://site/b.html");
    EXPECT_EQ(pages.At("http://site/c.html"), 3);
    pages.Add("http://site/b.html", 4);
    EXPECT_EQ(Keys(pages), (std::vector<std::string>{"http://site/a.html", "http://site/c.html",
                                                     "http://site/b.html"}));
    pages.Clear();
    EXPECT_EQ(pages.Count(), 0);
    EXPECT_FALSE(pages.Contains("http://site/a.html"));
}

}  // namespace
}  // namespace quill
