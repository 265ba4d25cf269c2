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

TEST_F(TipWindowTest, MissingFileShowsTheNotFoundText) {
    TipsFile tips("unused\n");
    Open(tips.MissingPath());
    ASSERT_TRUE(window_->Form_Load());
    const QString expected = QStringLiteral(
        "That the QuillorbaneTips.txt file was not found? \n\nCreate a text file named "
        "QuillorbaneTips.txt using NotePad with 1 tip per line. Then place it in the same "
        "directory as the application. ");
    EXPECT_EQ(TipText(), expected);
    ClickNextTip();
    EXPECT_EQ(TipText(), expected) << "Next Tip changes nothing";
}

TEST_F(TipWindowTest, EmptyPathShowsTheNotFoundText) {
    Open(QString());
    ASSERT_TRUE(window_->Form_Load());
    EXPECT_EQ(TipText(), frmTip::NotFoundText());
}

TEST_F(TipWindowTest, EmptyFileLeavesTheTipAreaEmpty) {
    TipsFile tips("");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    EXPECT_TRUE(window_->Tips().isEmpty());
    EXPECT_EQ(TipText(), "");
    ClickNextTip();
    EXPECT_EQ(TipText(), "");
}

TEST_F(TipWindowTest, OneLineFileAlwaysShowsThatLine) {
    TipsFile tips("Press Stop to end a run.\n");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    EXPECT_EQ(TipText(), "Press Stop to end a run.");
    for (int i = 0; i < 5; ++i) {
        ClickNextTip();
        EXPECT_EQ(TipText(), "Press Stop to end a run.");
    }
}

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

TEST_F(TipWindowTest, TipsAreReadAsUtf8) {
    TipsFile tips("Prüfe die Übersicht\n");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    EXPECT_EQ(TipText(), QString::fromUtf8("Prüfe die Übersicht"));
}

TEST_F(TipWindowTest, NoStoredSettingShowsTheWindowWithItsBoxTicked) {
    TipsFile tips("tip\n");
    Open(tips.Path());
    EXPECT_TRUE(window_->Form_Load());
    EXPECT_TRUE(Control<QCheckBox>(window_, "chkLoadTipsAtStartup")->isChecked());
}

TEST_F(TipWindowTest, SettingZeroClosesTheWindowWhileLoading) {
    StoreShowTips(QStringLiteral("0"));
    TipsFile tips("tip\n");
    Open(tips.Path());
    EXPECT_FALSE(window_->Form_Load());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(TipText(), "") << "no tip was read";
}

TEST_F(TipWindowTest, SettingThatIsNotANumberCountsAsOne) {
    StoreShowTips(QStringLiteral("sometimes"));
    TipsFile tips("tip\n");
    Open(tips.Path());
    EXPECT_TRUE(window_->Form_Load());
}

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

TEST_F(TipWindowTest, OkClosesAndDeletesTheWindow) {
    TipsFile tips("tip\n");
    Open(tips.Path());
    ASSERT_TRUE(window_->Form_Load());
    window_->show();
    QTest::mouseClick(Control<QPushButton>(window_, "cmdOK"), Qt::LeftButton);
    testing::RunDeferredDeletes();
    EXPECT_TRUE(window_.isNull());
}

TEST_F(TipWindowTest, EnterAndEscapePressOk) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        TipsFile tips("tip\n");
        Open(tips.Path());
        ASSERT_TRUE(window_->Form_Load());
        window_->show();
        QTest::keyClick(window_, key);
        testing::RunDeferredDeletes();
        EXPECT_TRUE(window_.isNull()) << "key " << key;
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
