// quillorbane: the desktop window on the live crawl components.
#include <QApplication>
#include <QIcon>

#include "crawl/live_services.h"
#include "ui/about_window.h"
#include "ui/main_form.h"
#include "ui/tip_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillorbane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillorbane/quillorbane-256.png")));

    quill::LiveComponents live;
    quill::ui::MainForm window(quill::ui::MainFormParts{
        live.Clock(),
        [&live](quill::platform::Sleeper& sleeper, quill::platform::EventPump& pump) {
            return live.Services(sleeper, pump);
        },
        [&live](quill::platform::BrowserObserver* observer) {
            live.Browser().SetObserver(observer);
        },
        quill::ui::DefaultTipsFilePath(),
        quill::ui::SystemInfoLauncher::Desktop(),
    });
    window.Form_Load();
    return QApplication::exec();
}
