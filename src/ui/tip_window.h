// The tip-of-the-day window: shows one random tip from the tips file beside the program, offers the
// next tip, and keeps the "Show Tips at Startup" setting. Modeless; the main window creates it,
// calls Form_Load and shows it only when Form_Load keeps it open.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <random>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace quill::ui {

// "QuillorbaneTips.txt" in the directory of the running program (the build tree), or else in the
// installation's share/quillorbane/ when it is there.
QString DefaultTipsFilePath();

class frmTip : public QDialog {
    Q_OBJECT

  public:
    static const QString kTipsFileName;
    // Shown in place of a tip when the tips file is missing.
    static QString NotFoundText();

    frmTip(QString tipsFilePath, QWidget* parent = nullptr);

    // Reads the setting; false (and the window closed, never shown) when it is 0. Otherwise ticks
    // the start-up box and shows a random tip, or the not-found text.
    bool Form_Load();

    bool LoadTips(const QString& path);
    void DoNextTip();
    void DisplayCurrentTip();

    const QStringList& Tips() const { return tips_; }
    bool ShowAtStartupChecked() const;

  private:
    // Makes the tip area high enough for the longest tip (or the not-found text) at the font in
    // use, so no tip loses its last lines.
    void FitLongestTip();
    void cmdNextTip_Click();
    void cmdOK_Click();
    void chkLoadTipsAtStartup_Click();

    QString tipsFilePath_;
    QStringList tips_;
    int currentTip_ = 0;  // 1-based position in tips_
    std::mt19937 random_;

    QFrame* Picture1_;
    QLabel* tipIcon_;
    QLabel* Label1_;
    QLabel* lblTipText_;
    QPushButton* cmdOK_;
    QPushButton* cmdNextTip_;
    QCheckBox* chkLoadTipsAtStartup_;
};

}  // namespace quill::ui
