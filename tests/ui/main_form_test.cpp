// The main window without a crawl to the network: its controls and their design values, the
// focus order, start-up, the chains of handlers that the depth, URL and exclusion controls run,
// the result lists' order, the Report button and the browser pane.
#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "crawl/report_file.h"
#include "idle_crawl_services.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"
#include "ui/browser_pane.h"
#include "ui/tip_window.h"
#include "ui/tips_setting.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;
using testing::Entries;
using testing::StoreShowTips;

const QStringList kDefaultExclusions = {".zip", ".ram", ".tar", ".exe", ".c",
                                        ".cpp", ".h",   ".cdf", ".pdf"};

QStringList ScopeExclusions() {
    QStringList entries;
    for (const std::string& extension : VisitControl::ExcludedExtensions()) {
        entries.append(QString::fromStdString(extension));
    }
    return entries;
}

struct Message {
    QString caption;
    QString text;
};

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        StoreShowTips(QStringLiteral("0"));
        VisitControl::ClearExcludedExtensions();
    }

    void TearDown() override {
        form_.reset();
        testing::RunDeferredDeletes();
    }

    MainForm& Form(int dayOfMonth = 15) {
        components_.clock = testing::DayClock(dayOfMonth);
        form_ = std::make_unique<MainForm>(MainFormParts{
            components_.clock,
            [this](platform::Sleeper& sleeper, platform::EventPump& pump) {
                return components_.Services(sleeper, pump);
            },
            {},
            tips_.Path(),
            SystemInfoLauncher{},
        });
        form_->SetMessageBox([this](QWidget*, const QString& caption, const QString& text) {
            messages_.push_back({caption, text});
        });
        form_->SetReportPathChooser([this](QWidget*, const QString& offered) {
            offeredNames_.append(offered);
            return chosenPath_;
        });
        return *form_;
    }

    MainForm& LoadedForm(int dayOfMonth = 15) {
        Form(dayOfMonth).Form_Load();
        return *form_;
    }

    template <typename Widget = QWidget>
    Widget* C(const char* name) {
        return Control<Widget>(form_.get(), name);
    }
    QLineEdit* Box(const char* name) { return C<QLineEdit>(name); }
    QCheckBox* Check(const char* name) { return C<QCheckBox>(name); }
    QListWidget* List(const char* name) { return C<QListWidget>(name); }

    // The depth box limited to 100, as after the user unticks "Unlimited".
    void LimitDepth() {
        Check("chkMaxDepth")->click();
        ASSERT_EQ(Box("txtMaxDepth")->text(), "100");
        ASSERT_EQ(form_->MaximumDepth(), 100);
    }

    testing::IdleCrawlComponents components_;
    testing::TipsFile tips_{"The only tip.\n"};
    std::unique_ptr<MainForm> form_;
    std::vector<Message> messages_;
    QStringList offeredNames_;
    QString chosenPath_;
};

// --- the window as designed ---

struct ControlRow {
    const char* name;
    const char* kind;  // class name
    const char* caption;
    const char* toolTip;
};

const ControlRow kControls[] = {
    {"Label1", "QLabel", "Start URL", ""},
    {"txtStartURL", "QLineEdit", "",
     "URL to start with. Crawler will not go outside this heirarchy."},
    {"btnStartStop", "QPushButton", "Start", "Click to start. Click to stop when running."},
    {"btnReport", "QPushButton", "Report", ""},
    {"btnAbout", "QPushButton", "About", ""},
    {"Label9", "QLabel", "Base URL", ""},
    {"txtBaseURL", "QLineEdit", "", "Crawler will not go below this level in the website"},
    {"btnTips", "QPushButton", "Tips", ""},
    {"Label2", "QLabel", "Successful Links", ""},
    {"lblNumSuccessfulLinks", "QLabel", "", ""},
    {"lstGoodLinks", "QListWidget", "", ""},
    {"Label4", "QLabel", "Skipped Links", ""},
    {"lblNumSkippedLinks", "QLabel", "", ""},
    {"lstSkippedLinks", "QListWidget", "", ""},
    {"Label5", "QLabel", "Broken Links", ""},
    {"lblNumBrokenLinks", "QLabel", "", ""},
    {"lstBrokenLinks", "QListWidget", "", ""},
    {"Frame1", "QGroupBox", "Items to check", ""},
    {"Label6", "QLabel", "Timeout after", ""},
    {"txtTmOut", "QLineEdit", "60",
     "Maximum time to wait for the page to load. Increase this if your link is slow."},
    {"Label7", "QLabel", "seconds", ""},
    {"Label11", "QLabel", "Max Depth", ""},
    {"txtMaxDepth", "QLineEdit", "0", ""},
    {"chkMaxDepth", "QCheckBox", "Unlimited", ""},
    {"Label3", "QLabel", "Document", ""},
    {"lblDocHref", "QLabel", "", ""},
    {"Label10", "QLabel", "Depth", ""},
    {"lblDepth", "QLabel", "", ""},
    {"lblDocTitle", "QLabel", "", ""},
    {"linkBrowser", "quill::ui::BrowserPane", "", ""},
    {"chkExternal", "QCheckBox", "External Links (one level)",
     "Follow links outside the starting host"},
    {"chkJSStyle", "QCheckBox", "Stylesheets and JavaScript Files", "Check href links"},
    {"chkLinks", "QCheckBox", "Links (including # links)", "Check href links"},
    {"chkImages", "QCheckBox", "Images", "Check existence of images"},
    {"chkApplets", "QCheckBox", "Applets", "Check existence of applet class and jar file"},
    {"chkFrames", "QCheckBox", "Frames", "Follow documents in framesets"},
    {"chkForms", "QCheckBox", "Forms", "Check the action link of forms"},
    {"Label8", "QLabel", "Do not process files with extension", ""},
    {"btnAddExclExtn", "QPushButton", "Add", ""},
    {"txtExclExtn", "QLineEdit", "", ""},
    {"lstExclExtn", "QListWidget", "",
     "List of extensions that will be skipped. If empty, \".exe\", \".zip\". \".exe\", \".ram\" "
     "and \".tar\" are skipped"},
    {"btnClearExclExtn", "QPushButton", "Clear", ""},
    {"chkUseDefExcl", "QCheckBox", "Use Defaults", ""},
};

QString CaptionOf(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* box = qobject_cast<const QLineEdit*>(widget)) {
        return box->text();
    }
    if (auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    return QString();
}

TEST_F(MainFormTest, EveryControlHasItsNameKindCaptionAndToolTip) {
    Form();
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        const QWidget* widget = C(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), row.kind);
        EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(row.caption));
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.toolTip));
    }
}

TEST_F(MainFormTest, DesignTimeStates) {
    Form();
    EXPECT_EQ(form_->windowTitle(), "Quillorbane");
    EXPECT_EQ(form_->size(), QSize(678, 623));
    EXPECT_FALSE(form_->windowIcon().pixmap(32, 32).isNull());
    for (const char* name : {"chkExternal", "chkJSStyle", "chkLinks", "chkImages", "chkApplets",
                             "chkFrames", "chkForms", "chkMaxDepth"}) {
        EXPECT_TRUE(Check(name)->isChecked()) << name;
    }
    EXPECT_FALSE(Check("chkUseDefExcl")->isChecked()) << "ticked by Form_Load";
    EXPECT_FALSE(Box("txtMaxDepth")->isEnabled());
    EXPECT_EQ(form_->MaximumDepth(), 0);
    for (const char* name : {"lstExclExtn", "lstGoodLinks", "lstSkippedLinks", "lstBrokenLinks"}) {
        EXPECT_EQ(List(name)->count(), 0) << name;
    }
}

TEST_F(MainFormTest, FocusOrder) {
    Form();
    const QStringList expected = {
        "txtStartURL",    "txtBaseURL",      "btnStartStop",   "btnReport",     "txtTmOut",
        "lstGoodLinks",   "lstSkippedLinks", "lstBrokenLinks", "btnAbout",      "btnTips",
        "linkBrowser",    "chkExternal",     "chkJSStyle",     "chkLinks",      "chkFrames",
        "chkImages",      "chkApplets",      "chkForms",       "chkUseDefExcl", "btnClearExclExtn",
        "btnAddExclExtn", "txtExclExtn",     "lstExclExtn",    "txtMaxDepth",   "chkMaxDepth",
    };
    // Asking for one more than there are shows that the chain holds no other tab stop.
    EXPECT_EQ(testing::TabStopNames(C("txtStartURL"), static_cast<int>(expected.size()) + 1),
              expected);
}

TEST_F(MainFormTest, ListsAndBrowserTakeTheRoomWhenTheWindowGrowsLongTextDoesNotWidenIt) {
    Form().show();
    form_->SetCaption(CaptionControl::lblDocHref, "http://h/" + std::string(3000, 'x'));
    form_->SetCaption(CaptionControl::lblDocTitle, std::string(3000, 't'));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(form_->width(), 678);
    EXPECT_LT(form_->minimumSizeHint().width(), 678);
    const QSize list = C("lstGoodLinks")->size();
    const QSize browser = C("linkBrowser")->size();
    const int frameWidth = C("Frame1")->width();
    form_->resize(1000, 900);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_GT(C("lstGoodLinks")->height(), list.height());
    EXPECT_GT(C("lstGoodLinks")->width(), list.width());
    EXPECT_GT(C("linkBrowser")->height(), browser.height());
    EXPECT_GT(C("linkBrowser")->width(), browser.width());
    EXPECT_EQ(C("Frame1")->width(), frameWidth);
}

// --- start-up ---

TEST_F(MainFormTest, LoadingTicksUseDefaultsWhichFillsBothLists) {
    LoadedForm();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_TRUE(Check("chkUseDefExcl")->isChecked());
    EXPECT_EQ(Entries(List("lstExclExtn")), kDefaultExclusions);
    EXPECT_EQ(ScopeExclusions(), kDefaultExclusions);
    EXPECT_EQ(form_->focusWidget(), C("txtStartURL"));
}

TEST_F(MainFormTest, FirstDayOfTheMonthShowsOurHomePageOtherDaysABlankPane) {
    LoadedForm(1);
    EXPECT_EQ(form_->browserPane().Location(), "qrc:/quillorbane/home.html");
    EXPECT_TRUE(form_->browserPane().toPlainText().contains("Check a web site for broken links"));
    for (int day : {2, 31}) {
        LoadedForm(day);
        EXPECT_EQ(form_->browserPane().Location(), "about:blank") << day;
        EXPECT_TRUE(form_->browserPane().toPlainText().isEmpty()) << day;
    }
}

struct StartupTipsCase {
    const char* name;
    const char* stored;  // nullptr: nothing stored
    bool opens;
};

class StartupTips : public MainFormTest, public ::testing::WithParamInterface<StartupTipsCase> {};

TEST_P(StartupTips, OpenTheTipsWindowWhenTheSettingSaysSo) {
    StoreShowTips(GetParam().stored ? QString::fromLatin1(GetParam().stored) : QString());
    LoadedForm();
    EXPECT_EQ(form_->tipWindow() != nullptr, GetParam().opens);
    if (GetParam().opens) {
        EXPECT_TRUE(form_->tipWindow()->isVisible());
        EXPECT_EQ(Control<QLabel>(form_->tipWindow(), "lblTipText")->text(), "The only tip.");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupTips,
                         ::testing::Values(StartupTipsCase{"NothingStored", nullptr, true},
                                           StartupTipsCase{"One", "1", true},
                                           StartupTipsCase{"Zero", "0", false},
                                           StartupTipsCase{"Two", "2", false},
                                           StartupTipsCase{"NotANumber", "often", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormTest, TipsButtonShowsTheTipsWhenSwitchedOffAndRaisesAnOpenWindow) {
    LoadedForm();
    ASSERT_EQ(form_->tipWindow(), nullptr);
    QTest::mouseClick(C<QPushButton>("btnTips"), Qt::LeftButton);
    ASSERT_NE(form_->tipWindow(), nullptr);
    EXPECT_TRUE(form_->tipWindow()->isVisible());
    EXPECT_EQ(StoredShowTipsAtStartup(), "1");
    Control<QCheckBox>(form_->tipWindow(), "chkLoadTipsAtStartup")->click();
    ASSERT_EQ(StoredShowTipsAtStartup(), "0");
    frmTip* open = form_->tipWindow();
    QTest::mouseClick(C<QPushButton>("btnTips"), Qt::LeftButton);
    EXPECT_EQ(form_->tipWindow(), open) << "the open window is raised, not opened twice";
    EXPECT_EQ(StoredShowTipsAtStartup(), "0");
}

TEST_F(MainFormTest, AboutButtonOpensTheAboutWindow) {
    LoadedForm();
    QTest::mouseClick(C<QPushButton>("btnAbout"), Qt::LeftButton);
    ASSERT_NE(form_->aboutWindow(), nullptr);
    EXPECT_TRUE(form_->aboutWindow()->isVisible());
    EXPECT_EQ(Control<QLabel>(form_->aboutWindow(), "lblVersion")->text(), "Version 1.0.0");
}

// --- depth controls ---

// Keys typed into the depth box after "Unlimited" is unticked (the box then reads "100"): the text
// and depth after each key, and whether the box falls back to unlimited at the end.
struct DepthKeysCase {
    const char* name;
    bool replaceAll;  // select the whole text first; else type at its end
    std::vector<Qt::Key> keys;
    std::vector<std::pair<const char*, int>> after;
    bool unlimited;
};

class DepthKeys : public MainFormTest, public ::testing::WithParamInterface<DepthKeysCase> {};

TEST_P(DepthKeys, RunTheHandlerChain) {
    const DepthKeysCase& c = GetParam();
    LoadedForm();
    LimitDepth();
    QLineEdit* box = Box("txtMaxDepth");
    EXPECT_TRUE(box->isEnabled());
    box->setFocus();
    c.replaceAll ? box->selectAll() : box->end(false);
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
        QTest::keyClick(box, c.keys[i]);
        EXPECT_EQ(box->text(), c.after[i].first) << "after key " << i;
        EXPECT_EQ(form_->MaximumDepth(), c.after[i].second) << "after key " << i;
    }
    EXPECT_EQ(Check("chkMaxDepth")->isChecked(), c.unlimited);
    EXPECT_EQ(box->isEnabled(), !c.unlimited);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DepthKeys,
    ::testing::Values(
        // The empty box reads 0 at once.
        DepthKeysCase{"DeletingDigitByDigitFallsBackToUnlimited",
                      false,
                      {Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace},
                      {{"10", 10}, {"1", 1}, {"0", 0}},
                      true},
        DepthKeysCase{"ReplacingByOneDigitKeepsTheLimit", true, {Qt::Key_7}, {{"7", 7}}, false},
        DepthKeysCase{"TypingZeroTicksUnlimited", true, {Qt::Key_0}, {{"0", 0}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct DepthTextCase {
    const char* name;
    const char* text;
    const char* shown;
    int depth;
    bool unlimited;
};

class DepthText : public MainFormTest, public ::testing::WithParamInterface<DepthTextCase> {};

TEST_P(DepthText, BecomesTheMaximumDepth) {
    LoadedForm();
    LimitDepth();
    Box("txtMaxDepth")->setText(QString::fromUtf8(GetParam().text));
    EXPECT_EQ(Box("txtMaxDepth")->text(), GetParam().shown);
    EXPECT_EQ(form_->MaximumDepth(), GetParam().depth);
    EXPECT_EQ(Check("chkMaxDepth")->isChecked(), GetParam().unlimited);
    EXPECT_EQ(Box("txtMaxDepth")->isEnabled(), !GetParam().unlimited);
}

INSTANTIATE_TEST_SUITE_P(Cases, DepthText,
                         ::testing::Values(DepthTextCase{"Negative", "-2", "-2", -2, false},
                                           DepthTextCase{"FractionRounded", "2.5", "2.5", 2, false},
                                           DepthTextCase{"RoundsToZero", "0.4", "0", 0, true},
                                           DepthTextCase{"NotANumber", "deep", "0", 0, true},
                                           DepthTextCase{"OutOfRange", "40000", "0", 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormTest, TickingUnlimitedAgainResetsTheBox) {
    LoadedForm();
    LimitDepth();
    Box("txtMaxDepth")->setText("12");
    Check("chkMaxDepth")->click();
    EXPECT_EQ(Box("txtMaxDepth")->text(), "0");
    EXPECT_FALSE(Box("txtMaxDepth")->isEnabled());
    EXPECT_EQ(form_->MaximumDepth(), 0);
}

// --- start and base URL ---

TEST_F(MainFormTest, BaseUrlFollowsTheStartUrlOverwritingAnEditedOne) {
    LoadedForm();
    QLineEdit* start = Box("txtStartURL");
    QTest::keyClicks(start, "http://h");
    EXPECT_EQ(Box("txtBaseURL")->text(), "http://h");
    QTest::keyClicks(start, "/a/b/page.htm");
    EXPECT_EQ(Box("txtBaseURL")->text(), "http://h/a/b/");
    Box("txtBaseURL")->setText("http://h/a/");
    EXPECT_EQ(Box("txtBaseURL")->text(), "http://h/a/");
    QTest::keyClick(start, Qt::Key_L);
    EXPECT_EQ(Box("txtBaseURL")->text(), "http://h/a/b/");
}

// --- exclusion controls ---

TEST_F(MainFormTest, UseDefaultsEmptiesBothListsWhenUntickedAndRefillsThemWhenTicked) {
    LoadedForm();
    Box("txtExclExtn")->setText(".mp4");
    QTest::mouseClick(C<QPushButton>("btnAddExclExtn"), Qt::LeftButton);
    Check("chkUseDefExcl")->click();
    EXPECT_EQ(List("lstExclExtn")->count(), 0);
    EXPECT_TRUE(ScopeExclusions().isEmpty());
    Check("chkUseDefExcl")->click();
    EXPECT_EQ(Entries(List("lstExclExtn")), kDefaultExclusions);
    EXPECT_EQ(ScopeExclusions(), kDefaultExclusions);
}

TEST_F(MainFormTest, AddAppendsTheTextUnchangedAndEmptiesTheBoxEvenWhenEmpty) {
    LoadedForm();
    Box("txtExclExtn")->setText(" MP4");
    QTest::mouseClick(C<QPushButton>("btnAddExclExtn"), Qt::LeftButton);
    EXPECT_EQ(Entries(List("lstExclExtn")), kDefaultExclusions + QStringList{" MP4"});
    EXPECT_EQ(ScopeExclusions(), kDefaultExclusions + QStringList{" MP4"});
    EXPECT_EQ(Box("txtExclExtn")->text(), "");
    QTest::mouseClick(C<QPushButton>("btnClearExclExtn"), Qt::LeftButton);
    QTest::mouseClick(C<QPushButton>("btnAddExclExtn"), Qt::LeftButton);
    EXPECT_EQ(Entries(List("lstExclExtn")), QStringList{""});
    EXPECT_EQ(ScopeExclusions(), QStringList{""});
}

TEST_F(MainFormTest, ClearUnticksUseDefaultsAndEmptiesBothListsUserEntriesIncluded) {
    LoadedForm();
    Box("txtExclExtn")->setText(".iso");
    QTest::mouseClick(C<QPushButton>("btnAddExclExtn"), Qt::LeftButton);
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(C<QPushButton>("btnClearExclExtn"), Qt::LeftButton);
        EXPECT_FALSE(Check("chkUseDefExcl")->isChecked());
        EXPECT_EQ(List("lstExclExtn")->count(), 0);
        EXPECT_TRUE(ScopeExclusions().isEmpty());
    }
}

TEST_F(MainFormTest, ExternalLinksBoxSetsTheScopeFlag) {
    LoadedForm();
    VisitControl::SetFollowExternal(true);
    Check("chkExternal")->click();
    EXPECT_FALSE(VisitControl::FollowExternal());
    Check("chkExternal")->click();
    EXPECT_TRUE(VisitControl::FollowExternal());
}

// --- the crawl's view of the window ---

TEST_F(MainFormTest, ResultListsAreSeparateAndKeepTheCommandLineOrder) {
    Form();
    for (const char* entry :
         {"http://h/b", "http://h/C", "http://h/a", "http://h/A", "http://h/b"}) {
        form_->AddToList(ListControl::lstSkippedLinks, entry);
    }
    form_->AddToList(ListControl::lstGoodLinks, "good");
    form_->AddToList(ListControl::lstBrokenLinks, "broken");
    EXPECT_EQ(Entries(List("lstSkippedLinks")),
              (QStringList{"http://h/A", "http://h/a", "http://h/b", "http://h/b", "http://h/C"}));
    EXPECT_EQ(Entries(List("lstGoodLinks")), QStringList{"good"});
    EXPECT_EQ(Entries(List("lstBrokenLinks")), QStringList{"broken"});
    form_->ClearList(ListControl::lstSkippedLinks);
    EXPECT_EQ(List("lstSkippedLinks")->count(), 0);
}

TEST_F(MainFormTest, CrawlReadsAndWritesTheControls) {
    Form();
    Box("txtStartURL")->setText(QString::fromUtf8("http://h/ü/x.htm"));
    Box("txtTmOut")->setText("15");
    Check("chkImages")->click();
    EXPECT_EQ(form_->Text(TextControl::txtStartURL), "http://h/ü/x.htm");
    EXPECT_EQ(form_->Text(TextControl::txtBaseURL), "http://h/ü/");
    EXPECT_EQ(form_->Text(TextControl::txtTmOut), "15");
    EXPECT_FALSE(form_->Value(CheckControl::chkImages));
    EXPECT_TRUE(form_->Value(CheckControl::chkForms));
    form_->SetCaption(CaptionControl::lblDocTitle, "<b>Title</b>");
    EXPECT_EQ(C<QLabel>("lblDocTitle")->text(), "<b>Title</b>");
    EXPECT_EQ(C<QLabel>("lblDocTitle")->textFormat(), Qt::PlainText);
    form_->SetCaption(CaptionControl::lblNumBrokenLinks, "17");
    EXPECT_EQ(form_->Caption(CaptionControl::lblNumBrokenLinks), "17");
    EXPECT_EQ(form_->Caption(CaptionControl::btnStartStop), "Start");
}

TEST_F(MainFormTest, StartWithAnEmptyStartUrlDoesNothing) {
    LoadedForm();
    form_->AddToList(ListControl::lstGoodLinks, "earlier");
    QTest::mouseClick(C<QPushButton>("btnStartStop"), Qt::LeftButton);
    EXPECT_EQ(C<QPushButton>("btnStartStop")->text(), "Start");
    EXPECT_EQ(Entries(List("lstGoodLinks")), QStringList{"earlier"});
    EXPECT_EQ(C<QLabel>("lblNumSuccessfulLinks")->text(), "");
}

// --- Report ---

std::string FileContent(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return file.readAll().toStdString();
}

std::string ReportNow() {
    std::ostringstream report;
    WriteReport(report);
    return report.str();
}

TEST_F(MainFormTest, ReportOffersQuillorbaneLogThenTheLastChosenNameAndReplacesTheFile) {
    LoadedForm();
    LinkStatistics::ResetLinkStatistics();
    QTemporaryDir dir;
    chosenPath_ = dir.filePath("first.txt");
    {
        QFile old(chosenPath_);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(std::string(5000, 'x').c_str());
    }
    QTest::mouseClick(C<QPushButton>("btnReport"), Qt::LeftButton);
    chosenPath_ = dir.filePath("second.log");
    QTest::mouseClick(C<QPushButton>("btnReport"), Qt::LeftButton);
    EXPECT_EQ(offeredNames_, (QStringList{"Quillorbane.log", dir.filePath("first.txt")}));
    EXPECT_EQ(form_->offeredReportName(), dir.filePath("second.log"));
    const std::string header = "\"link status\",\"time to load\",\"link href\",\"referer\"\r\n";
    EXPECT_EQ(ReportNow().substr(0, header.size()), header);
    EXPECT_EQ(FileContent(dir.filePath("first.txt")), ReportNow());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainFormTest, CancelledReportWritesNothing) {
    LoadedForm();
    chosenPath_ = QString();
    QTest::mouseClick(C<QPushButton>("btnReport"), Qt::LeftButton);
    EXPECT_EQ(offeredNames_, QStringList{"Quillorbane.log"});
    EXPECT_EQ(form_->offeredReportName(), "Quillorbane.log");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainFormTest, ReportThatCannotBeWrittenNamesPathAndReasonAndKeepsTheResults) {
    LoadedForm();
    form_->AddToList(ListControl::lstGoodLinks, "http://h/kept");
    QTemporaryDir dir;
    chosenPath_ = dir.filePath("no-such-dir/report.log");
    QTest::mouseClick(C<QPushButton>("btnReport"), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, "Quillorbane");
    EXPECT_TRUE(messages_[0].text.contains(chosenPath_)) << messages_[0].text.toStdString();
    EXPECT_TRUE(messages_[0].text.contains("No such file or directory"))
        << messages_[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(chosenPath_));
    EXPECT_EQ(Entries(List("lstGoodLinks")), QStringList{"http://h/kept"});
}

// --- the browser pane ---

TEST_F(MainFormTest, BrowserPaneShowsLoadedPagesAndBlanksForAboutBlank) {
    Form();
    BrowserPane& pane = form_->browserPane();
    pane.LoadCommitted("http://h/page.html");
    pane.LoadCompleted("http://h/page.html", "<html><body><p>Hello pane</p></body></html>");
    EXPECT_EQ(pane.Location(), "http://h/page.html");
    EXPECT_EQ(pane.toPlainText(), "Hello pane");
    pane.LoadCompleted("about:blank", "");
    EXPECT_EQ(pane.Location(), "about:blank");
    EXPECT_TRUE(pane.toPlainText().isEmpty());
}

TEST_F(MainFormTest, BrowserPaneFetchesNothingAPageRefersTo) {
    Form();
    QTemporaryDir dir;
    const QString image = dir.filePath("local.png");
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(image));
    const QString url = QUrl::fromLocalFile(image).toString();
    BrowserPane& pane = form_->browserPane();
    pane.LoadCompleted(
        "http://h/page.html",
        ("<p>x<img src=\"" + url + "\"><img src=\"http://127.0.0.1:9/i.png\"></p>").toStdString());
    for (const QString& source : {url, QStringLiteral("http://127.0.0.1:9/i.png")}) {
        const QVariant resource = pane.document()->resource(QTextDocument::ImageResource, source);
        EXPECT_TRUE(resource.toByteArray().isEmpty()) << source.toStdString();
        EXPECT_EQ(resource.typeId(), QMetaType::QByteArray) << source.toStdString();
    }
    EXPECT_FALSE(pane.openLinks());
}

}  // namespace
}  // namespace quill::ui
