// quillorbane-screenshot: crawls a site from the main window on the live components and saves a
// picture of the window once the run is over. Used to make the README's screenshot; keeps its
// settings in a temporary directory, so the user's own settings are never read or written. Given a
// number of seconds, it also takes a picture that far into the run (OUTPUT-running.png), then
// presses Escape to stop the run.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "live/live_services.h"
#include "ui/live_main_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillorbane"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        QTextStream(stderr) << "usage: quillorbane-screenshot START-URL OUTPUT.png [SECONDS]\n";
        return 2;
    }

    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillorbane"),
              QStringLiteral("Quillorbane"))
        .setValue(QStringLiteral("Options/Show Tips at Startup"), QStringLiteral("0"));

    quill::LiveComponents live;
    quill::ui::MainForm window(quill::ui::LiveMainFormParts(live, quill::ui::SystemInfoLauncher{}));
    int status = 0;
    window.SetMessageBox([&status](QWidget*, const QString&, const QString& text) {
        QTextStream(stderr) << "quillorbane-screenshot: " << text << "\n";
        status = 1;
    });
    window.Form_Load();
    window.findChild<QLineEdit*>(QStringLiteral("txtStartURL"))->setText(arguments.at(1));

    if (arguments.size() == 4) {
        QTimer::singleShot(arguments.at(3).toDouble() * 1000, &window, [&] {
            QString running = arguments.at(2);
            running.replace(QStringLiteral(".png"), QStringLiteral("-running.png"));
            window.grab().save(running);
            window.findChild<QPushButton*>(QStringLiteral("btnStartStop"))->click();
        });
    }
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QPushButton*>(QStringLiteral("btnStartStop"))->click();
        // Let the window settle after the run, then take its picture.
        QTimer::singleShot(200, &window, [&] {
            if (!window.grab().save(arguments.at(2))) {
                QTextStream(stderr)
                    << "quillorbane-screenshot: cannot write " << arguments.at(2) << "\n";
                status = 1;
            }
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
