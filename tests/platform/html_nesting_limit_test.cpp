// The guard against pathologically deep markup: which start tags it counts, where it stops, and
// that it changes nothing else; and the large stack deep documents are built on.
#include "platform/html_nesting_limit.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/large_stack.h"

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

// Each level keeps a buffer live across the call, so the frames cannot be folded away.
[[gnu::noinline]] int Descend(int levels) {
    volatile char frame[256] = {};
    frame[levels % 256] = 1;
    return levels == 0 ? 0 : Descend(levels - 1) + frame[levels % 256];
}

TEST(LargeStack, RecursionFarPastAnOrdinaryStackReturns) {
    int result = -1;
    RunOnLargeStack([&] { result = Descend(200000); }, std::size_t{1} << 30);  // ~60 MB deep
    EXPECT_EQ(result, 200000);
}

TEST(LargeStack, ExceptionComesOutAndNestedCallsRunInPlace) {
    EXPECT_THROW(RunOnLargeStack([] { throw std::range_error("from below"); }), std::range_error);
    int depth = 0;
    RunOnLargeStack([&] {
        RunOnLargeStack([&] { depth = Descend(1000) + 1; });
        EXPECT_THROW(RunOnLargeStack([] { throw std::logic_error("inner"); }), std::logic_error);
    });
    EXPECT_EQ(depth, 1001);
}

}  // namespace
}  // namespace quill::platform
