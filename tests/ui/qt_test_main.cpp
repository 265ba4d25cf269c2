// The entry point of every window test binary: one QApplication, headless, with the settings kept
// in a temporary directory that is removed afterwards (never the user's own settings).
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillorbane"));
    ::testing::InitGoogleTest(&argc, argv);
    return settingsDir.isValid() ? RUN_ALL_TESTS() : 1;
}
