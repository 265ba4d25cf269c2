// The tip-of-the-day window: the tips file (missing, empty, one line, blank lines), the "Show Tips
// at Startup" setting, room for the longest tip, and closing.
#include "ui/tip_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "ui/tips_setting.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;

class TipWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::StoreShowTips(QString()); }
    void TearDown() override {
        delete window_;
        testing::RunDeferredDeletes();
    }
    // Loads the window on a tips file with this content; a null content: no file.
    bool Load(const char* content) {
        delete window_;
        window_ = new frmTip(content ? tips_.Path() : tips_.MissingPath());
        if (content) {
            tips_.Write(content);
        }
        return window_->Form_Load();
    }
    QString Shown() const { return Control<QLabel>(window_, "lblTipText")->text(); }

    testing::TipsFile tips_{""};
    QPointer<frmTip> window_;
};

TEST_F(TipWindowTest, ShowsTipsFromTheFileEveryLineATipOrTheNotFoundText) {
    ASSERT_TRUE(Load(nullptr));
    EXPECT_EQ(Shown(), frmTip::NotFoundText());
    EXPECT_TRUE(Shown().startsWith("That the QuillorbaneTips.txt file was not found? \n\n"));
    ASSERT_TRUE(Load("first\r\n\r\nthird\nPrüfe"));
    EXPECT_EQ(window_->Tips(), (QStringList{"first", "", "third", "Prüfe"}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(window_->Tips().contains(Shown()));
        QTest::mouseClick(Control<QPushButton>(window_, "cmdNextTip"), Qt::LeftButton);
    }
}

TEST_F(TipWindowTest, SettingDecidesWhetherLoadingKeepsTheWindowAndTheBoxWritesIt) {
    testing::StoreShowTips("0");
    EXPECT_FALSE(Load("tip\n"));
    testing::StoreShowTips("sometimes");
    ASSERT_TRUE(Load("tip\n"));
    auto* box = Control<QCheckBox>(window_, "chkLoadTipsAtStartup");
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(StoredShowTipsAtStartup(), "0");
}

TEST_F(TipWindowTest, TheLongestTipFitsAtALargeFont) {
    const QString longTip = QString("A tip of many words. ").repeated(30);
    QFont large = QApplication::font();
    large.setPointSize(20);
    QApplication::setFont(large);
    ASSERT_TRUE(Load((longTip + "\nshort\n").toUtf8().constData()));
    QApplication::setFont(QFont());
    window_->show();
    const QLabel* label = Control<QLabel>(window_, "lblTipText");
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
}

TEST_F(TipWindowTest, EnterAndEscapeCloseAndDeleteTheWindow) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        ASSERT_TRUE(Load("tip\n"));
        window_->show();
        QTest::keyClick(window_, key);
        testing::RunDeferredDeletes();
        EXPECT_TRUE(window_.isNull()) << key;
    }
}

}  // namespace
}  // namespace quill::ui
