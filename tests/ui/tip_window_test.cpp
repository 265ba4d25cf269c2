// The tip-of-the-day window: its controls, the tips file (missing, empty, one line, several), the
// "Show Tips at Startup" setting, and closing.
#include "ui/tip_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "ui/tips_setting.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;
using testing::StoreShowTips;
using testing::TipsFile;

class TipWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { StoreShowTips(QString()); }
    void TearDown() override {
        delete window_;
        testing::RunDeferredDeletes();
    }

    frmTip* Open(const QString& path) {
        window_ = new frmTip(path);
        return window_;
    }
    QString TipText() const { return Control<QLabel>(window_, "lblTipText")->text(); }
    void ClickNextTip() {
        QTest::mouseClick(Control<QPushButton>(window_, "cmdNextTip"), Qt::LeftButton);
    }

    QPointer<frmTip> window_;
};

TEST_F(TipWindowTest, ControlsCarryTheirCaptions) {
    Open(QString());
    EXPECT_EQ(window_->windowTitle(), "Tip of the Day (Quillorbane)");
    EXPECT_EQ(Control<QLabel>(window_, "Label1")->text(), "Did you know...");
    EXPECT_EQ(Control<QLabel>(window_, "lblTipText")->text(), "");
    auto* ok = Control<QPushButton>(window_, "cmdOK");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(Control<QPushButton>(window_, "cmdNextTip")->text(), "&Next Tip");
    auto* box = Control<QCheckBox>(window_, "chkLoadTipsAtStartup");
    EXPECT_EQ(box->text(), "&Show Tips at Startup");
    EXPECT_FALSE(box->isChecked()) << "unchecked until the window loads";
    EXPECT_NE(Control<QFrame>(window_, "Picture1"), nullptr);
    const QLabel* icon = Control<QLabel>(window_, "tipIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
}

const char* const kNotFound =
    "That the QuillorbaneTips.txt file was not found? \n\nCreate a text file named "
    "QuillorbaneTips.txt using NotePad with 1 tip per line. Then place it in the same directory as "
    "the application. ";

enum class TipsPath { kMissingFile, kEmptyPath, kFile };

struct TipsFileCase {
    const char* name;
    TipsPath path;
    const char* content;
    const char* shown;  // the same after every Next Tip
};

class TipsFileContent : public TipWindowTest, public ::testing::WithParamInterface<TipsFileCase> {};

TEST_P(TipsFileContent, ShowsTheTipAfterLoadingAndEveryNextTip) {
    const TipsFileCase& c = GetParam();
    TipsFile tips(c.content);
    Open(c.path == TipsPath::kFile
             ? tips.Path()
             : (c.path == TipsPath::kEmptyPath ? QString() : tips.MissingPath()));
    ASSERT_TRUE(window_->Form_Load());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TipText(), QString::fromUtf8(c.shown)) << "after " << i << " Next Tip clicks";
        ClickNextTip();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TipsFileContent,
    ::testing::Values(TipsFileCase{"MissingFile", TipsPath::kMissingFile, "unused\n", kNotFound},
                      TipsFileCase{"EmptyPath", TipsPath::kEmptyPath, "", kNotFound},
                      TipsFileCase{"EmptyFile", TipsPath::kFile, "", ""},
                      TipsFileCase{"OneLine", TipsPath::kFile, "Press Stop to end a run.\n",
                                   "Press Stop to end a run."},
                      TipsFileCase{"Utf8", TipsPath::kFile, "Prüfe die Übersicht\n",
                                   "Prüfe die Übersicht"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TipWindowTest, EveryLineIsATipBlankOnesAndLastUnterminatedOneIncluded) {
    TipsFile tips("first\r\n\r\nthird\nfourth");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    EXPECT_EQ(window_->Tips(), (QStringList{"first", "", "third", "fourth"}));
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(window_->Tips().contains(TipText())) << TipText().toStdString();
        ClickNextTip();
    }
}

struct SettingCase {
    const char* name;
    const char* stored;  // nullptr: nothing stored
    bool shows;
};

class ShowTipsSetting : public TipWindowTest, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(ShowTipsSetting, DecidesWhetherLoadingKeepsTheWindow) {
    StoreShowTips(GetParam().stored ? QString::fromLatin1(GetParam().stored) : QString());
    TipsFile tips("tip\n");
    Open(tips.Path());
    EXPECT_EQ(window_->Form_Load(), GetParam().shows);
    EXPECT_EQ(Control<QCheckBox>(window_, "chkLoadTipsAtStartup")->isChecked(), GetParam().shows);
    EXPECT_EQ(TipText(), GetParam().shows ? "tip" : "") << "no tip is read for a closed window";
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowTipsSetting,
                         ::testing::Values(SettingCase{"NothingStored", nullptr, true},
                                           SettingCase{"Zero", "0", false},
                                           SettingCase{"NotANumber", "sometimes", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TipWindowTest, TheBoxWritesTheSettingAtOnce) {
    TipsFile tips("tip\n");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    window_->show();
    auto* box = Control<QCheckBox>(window_, "chkLoadTipsAtStartup");
    box->click();
    EXPECT_EQ(StoredShowTipsAtStartup(), "0");
    EXPECT_EQ(ReadShowTipsAtStartup(), 0);
    box->click();
    EXPECT_EQ(StoredShowTipsAtStartup(), "1");
}

TEST_F(TipWindowTest, OkEnterAndEscapeCloseAndDeleteTheWindow) {
    for (int way = 0; way < 3; ++way) {
        TipsFile tips("tip\n");
        Open(tips.Path());
        ASSERT_TRUE(window_->Form_Load());
        window_->show();
        if (way == 0) {
            QTest::mouseClick(Control<QPushButton>(window_, "cmdOK"), Qt::LeftButton);
        } else {
            QTest::keyClick(window_, way == 1 ? Qt::Key_Return : Qt::Key_Escape);
        }
        testing::RunDeferredDeletes();
        EXPECT_TRUE(window_.isNull()) << "way " << way;
    }
}

TEST_F(TipWindowTest, FocusGoesFromOkToNextTipToTheBox) {
    Open(QString());
    EXPECT_EQ(testing::TabStopNames(Control<QPushButton>(window_, "cmdOK"), 3),
              (QStringList{"cmdOK", "cmdNextTip", "chkLoadTipsAtStartup"}));
}

TEST(TipsFileBesideTheProgram, IsNamedQuillorbaneTipsTxtInTheProgramsDirectory) {
    EXPECT_EQ(DefaultTipsFilePath(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/QuillorbaneTips.txt"));
}

}  // namespace
}  // namespace quill::ui
