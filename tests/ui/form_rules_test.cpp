// The text rules of the main window: base URL from start URL, the depth box's whole numbers, and
// the stored tips setting.
#include "ui/form_rules.h"

#include <gtest/gtest.h>

#include <optional>

namespace quill::ui {
namespace {

struct BaseUrlCase {
    const char* name;
    const char* startUrl;
    const char* baseUrl;
};

class BaseUrlOf : public ::testing::TestWithParam<BaseUrlCase> {};

TEST_P(BaseUrlOf, KeepsTheStartUrlUpToItsLastSlash) {
    EXPECT_EQ(BaseURLOf(QString::fromUtf8(GetParam().startUrl)).toStdString(), GetParam().baseUrl);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BaseUrlOf,
    ::testing::Values(
        BaseUrlCase{"PageInDirectory", "http://h/dir/page.htm", "http://h/dir/"},
        BaseUrlCase{"Directory", "http://h/dir/", "http://h/dir/"},
        BaseUrlCase{"PageAtRoot", "http://h/page.htm", "http://h/"},
        BaseUrlCase{"TwoSlashesOnly", "http://h", "http://h"}, BaseUrlCase{"Empty", "", ""},
        BaseUrlCase{"SlashInQueryCounts", "http://h/p.cgi?x=a/b", "http://h/p.cgi?x=a/"},
        BaseUrlCase{"FileUrl", "file:///home/me/site/index.html", "file:///home/me/site/"},
        BaseUrlCase{"NoSchemeThreeSlashes", "a/b/c/d", "a/b/c/"},
        BaseUrlCase{"OneSlash", "h/page", "h/page"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* name;
    const char* text;
    std::optional<int> value;
};

class WholeNumber16 : public ::testing::TestWithParam<NumberCase> {};

TEST_P(WholeNumber16, ReadsTheDepthBox) {
    EXPECT_EQ(ToWholeNumber16(QString::fromUtf8(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeNumber16,
    ::testing::Values(
        NumberCase{"Zero", "0", 0}, NumberCase{"Negative", "-3", -3},
        NumberCase{"PlusSign", "+7", 7}, NumberCase{"BlanksAround", "  12 ", 12},
        NumberCase{"FractionRoundsDown", "2.4", 2}, NumberCase{"FractionRoundsUp", "2.6", 3},
        NumberCase{"TieToEvenDown", "2.5", 2}, NumberCase{"TieToEvenUp", "3.5", 4},
        NumberCase{"Exponent", "1e2", 100}, NumberCase{"Largest", "32767", 32767},
        NumberCase{"Smallest", "-32768", -32768}, NumberCase{"RoundsIntoRange", "32767.4", 32767},
        NumberCase{"RoundsOutOfRange", "32767.5", std::nullopt},
        NumberCase{"TooLarge", "32768", std::nullopt},
        NumberCase{"TooSmall", "-32769", std::nullopt}, NumberCase{"Empty", "", std::nullopt},
        NumberCase{"Letters", "abc", std::nullopt},
        NumberCase{"TrailingLetters", "5x", std::nullopt},
        NumberCase{"Infinity", "inf", std::nullopt},
        NumberCase{"Hexadecimal", "0x10", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShowTipsNumber, AbsentOrNotANumberCountsAsOneNumbersAreRead) {
    EXPECT_EQ(ShowTipsNumber(QVariant()), 1);
    EXPECT_EQ(ShowTipsNumber(QVariant(QString())), 1);
    EXPECT_EQ(ShowTipsNumber(QVariant(QStringLiteral("yes"))), 1);
    EXPECT_EQ(ShowTipsNumber(QVariant(QStringLiteral("0"))), 0);
    EXPECT_EQ(ShowTipsNumber(QVariant(QStringLiteral("2"))), 2);
}

}  // namespace
}  // namespace quill::ui
