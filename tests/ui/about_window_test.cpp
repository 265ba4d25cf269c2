// The about window: captions from the build, and the system-information launcher with a program
// found, none found, and one that fails to start.
#include "ui/about_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;

struct LauncherCase {
    const char* name;
    QStringList installed;  // found at /usr/bin/<name>
    bool startSucceeds;
    QStringList started;
    bool unavailable;
};

class SystemInfo : public ::testing::TestWithParam<LauncherCase> {};

TEST_P(SystemInfo, StartsTheFirstInstalledProgramOrSaysItIsUnavailable) {
    const LauncherCase& c = GetParam();
    QStringList started, messages;
    SystemInfoLauncher launcher{{"hardinfo", "kinfocenter", "gnome-system-monitor"},
                                [&c](const QString& program) {
                                    return c.installed.contains(program) ? "/usr/bin/" + program
                                                                         : QString();
                                },
                                [&](const QString& path) {
                                    started.append(path);
                                    return c.startSucceeds;
                                }};
    QPointer<frmAbout> window = new frmAbout(
        std::move(launcher), [&](QWidget*, const QString& caption, const QString& text) {
            messages.append(caption + ": " + text);
        });
    window->Form_Load();
    EXPECT_EQ(window->windowTitle(), "About Quillorbane");
    EXPECT_EQ(Control<QLabel>(window, "lblVersion")->text(), "Version 1.0.0");
    QTest::mouseClick(Control<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(started, c.started);
    EXPECT_EQ(messages, c.unavailable ? QStringList{"Quillorbane: System Information Is "
                                                    "Unavailable At This Time"}
                                      : QStringList{});
    EXPECT_FALSE(window.isNull()) << "the about window stays open";
    delete window;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SystemInfo,
    ::testing::Values(LauncherCase{"Found",
                                   {"kinfocenter", "gnome-system-monitor"},
                                   true,
                                   {"/usr/bin/kinfocenter"},
                                   false},
                      LauncherCase{"NoneFound", {}, true, {}, true},
                      LauncherCase{
                          "FailsToStart", {"hardinfo"}, false, {"/usr/bin/hardinfo"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quill::ui
