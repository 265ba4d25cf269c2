// quillorbane: the desktop window on the live crawl components. Takes --help, --version and an
// optional start URL, which is filled in (not started).
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLineEdit>
#include <QStringList>
#include <QTextStream>

#include "live/live_services.h"
#include "ui/build_info.h"
#include "ui/live_main_form.h"

namespace {

constexpr int kExitUsage = 2;

enum class Command { kWindow, kHelp, kVersion, kUsageError };

struct CommandLine {
    Command command = Command::kWindow;
    QString startUrl;
    QString error;
};

QString VersionText() {
    return QStringLiteral("quillorbane %1.%2.%3\n")
        .arg(quill::ui::build::kVersionMajor)
        .arg(quill::ui::build::kVersionMinor)
        .arg(quill::ui::build::kVersionRevision);
}

QString UsageText() {
    return QStringLiteral(R"(Usage: quillorbane [options] [START_URL]

Opens the Quillorbane window, which checks a web site for broken links and
missing files: it loads the start URL, checks every URL its page refers to,
and walks the pages that lie under the base URL, recursively.

START_URL, when given, is filled in as the start URL (the base URL follows
from it); the check begins when Start is pressed. For a check from a terminal
or a script, use quillorbane-cli.

Options:
  -h, --help     show this help and exit
  --version      show the version and exit

The options of the Qt toolkit, such as -platform NAME, are accepted as well.
)");
}

// Reads the program's own arguments. Single-dash words are whole option names, so that a Qt
// option such as -stylesheet is never taken for -h.
CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("START_URL"), QStringLiteral("the start URL"));
    const bool parsed = parser.parse(arguments);

    CommandLine line;
    if (parser.isSet(help)) {
        line.command = Command::kHelp;
    } else if (parser.isSet(version)) {
        line.command = Command::kVersion;
    } else if (!parsed) {
        line.command = Command::kUsageError;
        line.error = parser.errorText();
    } else if (const QStringList urls = parser.positionalArguments(); urls.size() > 1) {
        line.command = Command::kUsageError;
        line.error = QStringLiteral("more than one start URL: '%1' and '%2'").arg(urls[0], urls[1]);
    } else if (urls.size() == 1) {
        line.startUrl = urls[0];
    }
    return line;
}

QStringList RawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    quill::UseOneHeapForAllThreads();
    // Help and version need no display, so they are answered before the toolkit starts.
    const CommandLine early = ParseCommandLine(RawArguments(argc, argv));
    if (early.command == Command::kHelp) {
        QTextStream(stdout) << UsageText();
        return 0;
    }
    if (early.command == Command::kVersion) {
        QTextStream(stdout) << VersionText();
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillorbane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillorbane/quillorbane-256.png")));

    // The toolkit has taken its own options out of the arguments by now.
    const CommandLine line = ParseCommandLine(QApplication::arguments());
    if (line.command == Command::kUsageError) {
        QTextStream(stderr) << "quillorbane: " << line.error << "\n"
                            << "Try 'quillorbane --help' for more information.\n";
        return kExitUsage;
    }

    quill::LiveComponents live;
    quill::ui::MainForm window(
        quill::ui::LiveMainFormParts(live, quill::ui::SystemInfoLauncher::Desktop()));
    window.Form_Load();
    if (!line.startUrl.isEmpty()) {
        window.findChild<QLineEdit*>(QStringLiteral("txtStartURL"))->setText(line.startUrl);
    }
    return QApplication::exec();
}
