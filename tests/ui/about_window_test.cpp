// The about window: captions from the build, and the system-information launcher with a program
// found, none found, and one that fails to start.
#include "ui/about_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui_test_support.h"

namespace quill::ui {
namespace {

TEST(AboutWindow, StartsTheFirstInstalledSystemInfoProgramOrSaysItIsUnavailable) {
    struct Case {
        QStringList installed;  // found at /usr/bin/<name>
        bool startSucceeds;
        QStringList started;
        bool unavailable;
    };
    const Case cases[] = {{{"kinfocenter", "top"}, true, {"/usr/bin/kinfocenter"}, false},
                          {{}, true, {}, true},
                          {{"hardinfo"}, false, {"/usr/bin/hardinfo"}, true}};
    for (const Case& c : cases) {
        QStringList started, messages;
        frmAbout window(SystemInfoLauncher{{"hardinfo", "kinfocenter", "top"},
                                           [&c](const QString& program) {
                                               return c.installed.contains(program)
                                                          ? "/usr/bin/" + program
                                                          : QString();
                                           },
                                           [&](const QString& path) {
                                               started.append(path);
                                               return c.startSucceeds;
                                           }},
                        [&](QWidget*, const QString& caption, const QString& text) {
                            messages.append(caption + ": " + text);
                        });
        window.Form_Load();
        EXPECT_EQ(window.windowTitle(), "About Quillorbane");
        EXPECT_EQ(testing::Control<QLabel>(&window, "lblVersion")->text(), "Version 1.0.0");
        QTest::mouseClick(testing::Control<QPushButton>(&window, "cmdSysInfo"), Qt::LeftButton);
        EXPECT_EQ(started, c.started);
        EXPECT_EQ(messages.size(), c.unavailable ? 1 : 0);
        EXPECT_TRUE(messages.isEmpty() ||
                    messages[0] == "Quillorbane: System Information Is Unavailable At This Time");
    }
}

}  // namespace
}  // namespace quill::ui
