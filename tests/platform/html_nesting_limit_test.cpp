// The guard against pathologically deep markup: which start tags it counts, where it stops, and
// that it changes nothing else.
#include "platform/html_nesting_limit.h"

#include <gtest/gtest.h>

#include <string>

namespace quill::platform {
namespace {

std::string Repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

const NestingLimits kSmall{10, 20};

struct NestingCase {
    const char* name;
    std::string html;
    int expectedTurned;
};

class LimitHtmlNestingTest : public ::testing::TestWithParam<NestingCase> {};

TEST_P(LimitHtmlNestingTest, TurnsOnlyTheTagsPastTheLimit) {
    std::string html = GetParam().html;
    EXPECT_EQ(LimitHtmlNesting(html, kSmall), GetParam().expectedTurned);
    EXPECT_EQ(html.size(), GetParam().html.size());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LimitHtmlNestingTest,
    ::testing::Values(
        NestingCase{"ShallowPage", "<html><body><div><p>x<a href=y>z</a></div>", 0},
        NestingCase{"DeepDivs", Repeat("<div>", 15), 5},
        NestingCase{"OptionalEndTagsDoNotCount", "<ul>" + Repeat("<li>x<p>y", 100), 0},
        NestingCase{"VoidElementsDoNotCount", Repeat("<br><img src=x><input>", 100), 0},
        NestingCase{"ReadElementsGoDeeper", Repeat("<span>", 10) + Repeat("<object>", 15), 5},
        NestingCase{"OtherTagsStopAtTheLowerLimit", Repeat("<span>", 10) + "<b><a href=x>", 1},
        NestingCase{"RawTextIsNotMarkup", "<script>" + Repeat("<div>", 50) + "</script>", 0},
        NestingCase{"SelfClosingInSvgDoesNotCount",
                    "<svg>" + Repeat("<path d='M0'/>", 50) + "</svg>", 0},
        NestingCase{"EndTagCannotReachPastObject", Repeat("<div><object></div>", 10), 5},
        NestingCase{"EndOfSvgClosesItsContent", Repeat("<svg><g><g><g></svg>", 20), 0},
        NestingCase{"PlaintextEndsTheMarkup", "<plaintext>" + Repeat("<div>", 50), 0}),
    [](const auto& info) { return info.param.name; });

TEST(LimitHtmlNestingTest, TurnedTagsBecomeTextInPlace) {
    std::string html = Repeat("<div>", 10) + "<div class=x>deep";
    LimitHtmlNesting(html, kSmall);
    EXPECT_EQ(html, Repeat("<div>", 10) + " div class=x>deep");
}

TEST(LimitHtmlNestingTest, DefaultsLeaveRealisticNestingAlone) {
    std::string html = Repeat("<table><tr><td><div><span>", 60) + "<a href=x>x</a>";
    EXPECT_EQ(LimitHtmlNesting(html), 0);
}

}  // namespace
}  // namespace quill::platform
