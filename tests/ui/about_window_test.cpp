// The about window: captions from the build, its texts, and the system-information launcher with
// a program found, none found, and one that fails to start.
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

struct Message {
    QString caption;
    QString text;
};

class AboutWindowTest : public ::testing::Test {
  protected:
    void TearDown() override {
        delete window_;
        testing::RunDeferredDeletes();
    }

    // Programs in `installed` are found at /usr/bin/<name>; starting one records it and answers
    // `startSucceeds`.
    frmAbout* Open(QStringList programs, QStringList installed, bool startSucceeds = true) {
        SystemInfoLauncher launcher{
            std::move(programs),
            [installed](const QString& program) {
                return installed.contains(program) ? QStringLiteral("/usr/bin/") + program
                                                   : QString();
            },
            [this, startSucceeds](const QString& path) {
                started_.append(path);
                return startSucceeds;
            },
        };
        window_ = new frmAbout(std::move(launcher),
                               [this](QWidget*, const QString& caption, const QString& text) {
                                   messages_.push_back({caption, text});
                               });
        return window_;
    }

    QString LabelText(const char* name) const { return Control<QLabel>(window_, name)->text(); }

    QPointer<frmAbout> window_;
    QStringList started_;
    std::vector<Message> messages_;
};

TEST_F(AboutWindowTest, LoadingFillsCaptionTitleAndVersionFromTheBuild) {
    Open({}, {});
    EXPECT_EQ(LabelText("lblVersion"), "Version 1.0") << "design caption before loading";
    window_->Form_Load();
    EXPECT_EQ(window_->windowTitle(), "About Quillorbane");
    EXPECT_EQ(LabelText("lblTitle"), "Quillorbane");
    EXPECT_EQ(LabelText("lblVersion"), "Version 1.0.0");
    EXPECT_EQ(LabelText("lblDescription"),
              "Crawl through a web site and verify all links, images, applets, frames and forms.");
    EXPECT_EQ(LabelText("lblAuthInfo"), "Quillorbane developers");
    EXPECT_EQ(LabelText("Label1"), "https://quillorbane.example.org/");
    EXPECT_EQ(Control<QLabel>(window_, "Label1")->textFormat(), Qt::PlainText) << "not a link";
    EXPECT_EQ(LabelText("lblDisclaimer"), "");
    auto* ok = Control<QPushButton>(window_, "cmdOK");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(Control<QPushButton>(window_, "cmdSysInfo")->text(), "&System Info...");
    EXPECT_EQ(Control<QLabel>(window_, "picIcon")->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(testing::TabStopNames(ok, 2), (QStringList{"cmdOK", "cmdSysInfo"}));
}

struct LauncherCase {
    const char* name;
    QStringList installed;
    bool startSucceeds;
    QStringList started;
    bool unavailable;
};

class SystemInfo : public AboutWindowTest, public ::testing::WithParamInterface<LauncherCase> {};

TEST_P(SystemInfo, StartsTheFirstInstalledProgramOrSaysItIsUnavailable) {
    const LauncherCase& c = GetParam();
    Open({"hardinfo", "kinfocenter", "gnome-system-monitor"}, c.installed, c.startSucceeds);
    window_->Form_Load();
    QTest::mouseClick(Control<QPushButton>(window_, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(started_, c.started);
    ASSERT_EQ(messages_.size(), c.unavailable ? 1u : 0u);
    if (c.unavailable) {
        EXPECT_EQ(messages_[0].caption, "Quillorbane");
        EXPECT_EQ(messages_[0].text, "System Information Is Unavailable At This Time");
    }
    EXPECT_FALSE(window_.isNull()) << "the about window stays open";
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

TEST_F(AboutWindowTest, DesktopLauncherLooksForSystemInformationPrograms) {
    const SystemInfoLauncher launcher = SystemInfoLauncher::Desktop();
    EXPECT_FALSE(launcher.programs.isEmpty());
    EXPECT_EQ(launcher.programs.first(), "hardinfo");
    EXPECT_TRUE(launcher.find(QStringLiteral("no-such-program-quillorbane")).isEmpty());
}

TEST_F(AboutWindowTest, OkClosesAndDeletesTheWindow) {
    Open({}, {});
    window_->Form_Load();
    window_->show();
    QTest::keyClick(window_, Qt::Key_Escape);
    testing::RunDeferredDeletes();
    EXPECT_TRUE(window_.isNull());
}

}  // namespace
}  // namespace quill::ui
