// The about window: the program's title and version from the build, a description, author, home
// page and disclaimer, and a button that starts the desktop's system-information program. The
// launcher and the message box are passed in, so tests run them without starting anything.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;

namespace quill::ui {

struct SystemInfoLauncher {
    // Tried in this order; the first one installed is started.
    QStringList programs;
    // The full path of an installed program, or "" when it is not installed.
    std::function<QString(const QString& program)> find;
    // Starts the program without waiting for it; false when it could not be started.
    std::function<bool(const QString& path)> start;

    // hardinfo, kinfocenter, gnome-system-monitor, mate-system-monitor, xfce4-taskmanager, found
    // on PATH and started detached.
    static SystemInfoLauncher Desktop();
};

// Shows a message with one OK button and returns when it is dismissed.
using MessageBoxFn =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
MessageBoxFn StandardMessageBox();

class frmAbout : public QDialog {
    Q_OBJECT

  public:
    static const QString kUnavailable;

    frmAbout(SystemInfoLauncher launcher, MessageBoxFn messageBox, QWidget* parent = nullptr);

    // Fills in caption, title and version from the build.
    void Form_Load();
    void StartSysInfo();

    static QString ProgramTitle();
    static QString VersionText();

  private:
    void cmdOK_Click();
    void cmdSysInfo_Click();

    SystemInfoLauncher launcher_;
    MessageBoxFn messageBox_;

    QLabel* picIcon_;
    QLabel* lblTitle_;
    QLabel* lblVersion_;
    QLabel* lblDescription_;
    QLabel* lblAuthInfo_;
    QLabel* Label1_;
    QLabel* lblDisclaimer_;
    QPushButton* cmdOK_;
    QPushButton* cmdSysInfo_;
};

}  // namespace quill::ui
