// The text rules of the main window: base URL from start URL, the depth box's whole numbers, and
// the stored tips setting.
#include "ui/form_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace quill::ui {
namespace {

TEST(BaseURLOf, KeepsTheStartUrlUpToItsLastSlashWhenItHasMoreThanTwo) {
    const std::pair<const char*, const char*> cases[] = {{"http://h/dir/page.htm", "http://h/dir/"},
                                                         {"http://h/dir/", "http://h/dir/"},
                                                         {"http://h", "http://h"},
                                                         {"", ""},
                                                         {"http://h/p?x=a/b", "http://h/p?x=a/"},
                                                         {"h/page", "h/page"}};
    for (const auto& [start, base] : cases) {
        EXPECT_EQ(BaseURLOf(QString::fromUtf8(start)).toStdString(), base) << start;
    }
}

TEST(ToWholeNumber16, RoundsTiesToEvenAndRefusesWhatIsNoSixteenBitNumber) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"-3", -3},         {" +12 ", 12},      {"2.5", 2},      {"3.5", 4},     {"1e2", 100},
        {"32767.4", 32767}, {"-32768", -32768}, {"32767.5", {}}, {"-32769", {}}, {"", {}},
        {"5x", {}},         {"inf", {}},        {"0x10", {}}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ToWholeNumber16(QString::fromUtf8(text)), value) << text;
    }
}

TEST(ShowTipsNumber, AbsentOrNotANumberCountsAsOne) {
    EXPECT_EQ(ShowTipsNumber(QVariant()), 1);
    EXPECT_EQ(ShowTipsNumber(QVariant(QStringLiteral("yes"))), 1);
    EXPECT_EQ(ShowTipsNumber(QVariant(QStringLiteral("0"))), 0);
}

}  // namespace
}  // namespace quill::ui
