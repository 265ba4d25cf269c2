// The tip-of-the-day window: the tips file (missing, empty, one line, blank lines), the "Show Tips
// at Startup" setting, and room for the longest tip.
#include "ui/tip_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
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
        const QString path = dir_.filePath(content ? "QuillorbaneTips.txt" : "missing.txt");
        QFile file(path);
        if (content && file.open(QIODevice::WriteOnly)) {
            file.write(content);
        }
        file.close();
        window_ = new frmTip(path);
        return window_->Form_Load();
    }
    QString Shown() const { return Control<QLabel>(window_, "lblTipText")->text(); }

    QTemporaryDir dir_;
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

}  // namespace
}  // namespace quill::ui
