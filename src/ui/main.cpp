// quillorbane: the desktop window on the live crawl components.
#include <QApplication>
#include <QIcon>

#include "live/live_services.h"
#include "ui/live_main_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillorbane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillorbane/quillorbane-256.png")));

    quill::LiveComponents live;
    quill::ui::MainForm window(
        quill::ui::LiveMainFormParts(live, quill::ui::SystemInfoLauncher::Desktop()));
    window.Form_Load();
    return QApplication::exec();
}
