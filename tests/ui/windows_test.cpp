// The about and tip-of-the-day windows, and the main window's text rules: base URL from start URL
// and the depth box's whole numbers.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <utility>

#include "ui/about_window.h"
#include "ui/form_rules.h"
#include "ui/tip_window.h"
#include "ui/tips_setting.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;

TEST(BaseURLOf, KeepsTheStartUrlUpToItsLastSlashWhenItHasMoreThanTwo) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/dir/page.htm", "http://h/dir/"}, {"http://h/dir/", "http://h/dir/"},
        {"http://h", "http://h"}, {"", ""}, {"http://h/p?x=a/b", "http://h/p?x=a/"},
        {"h/page", "h/page"}, {"file:///s/i.html", "file:///s/"}};
    // clang-format on
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

TEST(AboutWindow, StartsTheFirstInstalledSystemInfoProgramOrSaysItIsUnavailable) {
    const QString unavailable = "Quillorbane: System Information Is Unavailable At This Time";
    const struct {
        QStringList installed;  // found at /usr/bin/<name>
        bool startSucceeds;
        QStringList started, messages;
    } cases[] = {{{"kinfocenter", "top"}, true, {"/usr/bin/kinfocenter"}, {}},
                 {{}, true, {}, {unavailable}},
                 {{"hardinfo"}, false, {"/usr/bin/hardinfo"}, {unavailable}}};
    for (const auto& c : cases) {
        QStringList started, messages;
        const auto find = [&c](const QString& program) {
            return c.installed.contains(program) ? "/usr/bin/" + program : QString();
        };
        const auto start = [&](const QString& path) {
            return started.append(path), c.startSucceeds;
        };
        frmAbout window(SystemInfoLauncher{{"hardinfo", "kinfocenter", "top"}, find, start},
                        [&](QWidget*, const QString& caption, const QString& text) {
                            messages.append(caption + ": " + text);
                        });
        window.Form_Load();
        EXPECT_EQ(window.windowTitle(), "About Quillorbane");
        EXPECT_EQ(Control<QLabel>(&window, "lblVersion")->text(), "Version 1.0.0");
        QTest::mouseClick(Control<QPushButton>(&window, "cmdSysInfo"), Qt::LeftButton);
        EXPECT_EQ(started, c.started);
        EXPECT_EQ(messages, c.messages);
    }
}

class TipWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::StoreShowTips(QString()); }
    void TearDown() override { delete window_; }  // closed windows delete themselves
    // Loads the window on a tips file with this content; a null content: no file.
    bool Load(const char* content) {
        const QString path = dir_.filePath(content ? "QuillorbaneTips.txt" : "missing.txt");
        QFile file(path);
        if (content && file.open(QIODevice::WriteOnly)) {
            file.write(content);
        }
        file.close();
        delete window_;
        window_ = new frmTip(path);
        return window_->Form_Load();
    }
    QString Shown() const { return Control<QLabel>(window_, "lblTipText")->text(); }

    QTemporaryDir dir_;
    QPointer<frmTip> window_;
};

// Every line of the file is a tip; the setting decides whether loading keeps the window, and the
// box writes it.
TEST_F(TipWindowTest, ShowsTipsFromTheFileOrTheNotFoundTextAsTheSettingSays) {
    ASSERT_TRUE(Load(nullptr));
    EXPECT_TRUE(Shown().startsWith("That the QuillorbaneTips.txt file was not found? \n\n"));
    testing::StoreShowTips("0");
    EXPECT_FALSE(Load("tip\n"));
    testing::StoreShowTips("sometimes");
    ASSERT_TRUE(Load("first\r\n\r\nthird\nPrüfe"));
    EXPECT_EQ(window_->Tips(), (QStringList{"first", "", "third", "Prüfe"}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(window_->Tips().contains(Shown()));
        QTest::mouseClick(Control<QPushButton>(window_, "cmdNextTip"), Qt::LeftButton);
    }
    auto* box = Control<QCheckBox>(window_, "chkLoadTipsAtStartup");
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(StoredShowTipsAtStartup(), "0");
}

}  // namespace
}  // namespace quill::ui
