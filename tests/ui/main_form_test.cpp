// The main window without the network: start-up, the handler chains of the depth, URL and
// exclusion controls, the result lists (order, width, tooltip, context menu), the keys, the status
// line's end of a run, Report and the browser pane.
#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "idle_crawl_services.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"
#include "ui/browser_pane.h"
#include "ui/result_list.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;
using testing::Entries;

QStringList ScopeExclusions() {
    QStringList entries;
    for (const std::string& extension : VisitControl::ExcludedExtensions()) {
        entries.append(QString::fromStdString(extension));
    }
    return entries;
}

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::StoreShowTips(QStringLiteral("0")); }
    void TearDown() override {
        form_.reset();
        testing::RunDeferredDeletes();
    }

    MainForm& LoadedForm() {
        form_ = std::make_unique<MainForm>(
            MainFormParts{components_.clock,
                          [this](platform::Sleeper& sleeper, platform::EventPump& pump) {
                              return components_.Services(sleeper, pump);
                          },
                          {},
                          tips_.Path(),
                          SystemInfoLauncher{}});
        form_->SetMessageBox(
            [this](QWidget*, const QString&, const QString& text) { messages_.append(text); });
        form_->SetReportPathChooser([this](QWidget*, const QString&) { return chosenPath_; });
        form_->SetUrlOpener([this](const QUrl& url) { opened_.append(url.toString()); });
        form_->Form_Load();
        return *form_;
    }

    template <typename Widget = QWidget>
    Widget* C(const char* name) {
        return Control<Widget>(form_.get(), name);
    }
    QLineEdit* Box(const char* name) { return C<QLineEdit>(name); }
    QCheckBox* Check(const char* name) { return C<QCheckBox>(name); }
    ResultList* List(const char* name) { return C<ResultList>(name); }
    QString Status() { return C<QLabel>("lblStatus")->text(); }
    void Click(const char* button) { QTest::mouseClick(C<QPushButton>(button), Qt::LeftButton); }

    testing::IdleCrawlComponents components_;
    testing::TipsFile tips_{"The only tip.\n"};
    std::unique_ptr<MainForm> form_;
    QStringList messages_, opened_;
    QString chosenPath_;
};

TEST_F(MainFormTest, LongTextDoesNotWidenTheWindow) {
    LoadedForm();
    const std::string longUrl = "http://h/" + std::string(3000, 'x');
    form_->SetCaption(CaptionControl::lblDocHref, longUrl);
    form_->PageWalkStarted(longUrl);
    form_->browserPane().LoadCompleted(longUrl, "<title>" + longUrl + "</title>");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(form_->width(), MainForm::kInitialWidth);
}

TEST_F(MainFormTest, StartUpFillsTheExclusionsAndOpensTheTipsCentredOnTheWindow) {
    testing::StoreShowTips(QString());
    LoadedForm();
    EXPECT_EQ(Entries(C<QListWidget>("lstExclExtn")), ScopeExclusions());
    EXPECT_EQ(ScopeExclusions().size(), 9);
    EXPECT_EQ(form_->focusWidget(), C("txtStartURL"));
    ASSERT_NE(form_->tipWindow(), nullptr);
    const QPoint offset =
        form_->tipWindow()->frameGeometry().center() - form_->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 10);
}

// The depth box after "Unlimited" is unticked: digits deleted one by one, then a text that is no
// number; each falls back to unlimited once the box reads 0.
TEST_F(MainFormTest, DepthBoxRunsTheHandlerChain) {
    LoadedForm();
    Check("chkMaxDepth")->click();
    QLineEdit* box = Box("txtMaxDepth");
    box->end(false);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(form_->MaximumDepth(), 1);
    EXPECT_TRUE(box->isEnabled());
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "0") << "the empty box reads 0";
    EXPECT_TRUE(Check("chkMaxDepth")->isChecked());
    EXPECT_FALSE(box->isEnabled());
    Check("chkMaxDepth")->click();
    box->setText("deep");
    EXPECT_EQ(box->text(), "0");
    EXPECT_EQ(form_->MaximumDepth(), 0);
    EXPECT_TRUE(Check("chkMaxDepth")->isChecked());
}

TEST_F(MainFormTest, ExclusionControlsKeepListAndScopeTheSame) {
    LoadedForm();
    const QStringList defaults = ScopeExclusions();
    Box("txtExclExtn")->setText(" MP4");
    QTest::keyClick(Box("txtExclExtn"), Qt::Key_Return);  // Enter presses Add
    EXPECT_EQ(Box("txtExclExtn")->text(), "");
    EXPECT_EQ(ScopeExclusions(), defaults + QStringList{" MP4"});
    Click("btnClearExclExtn");
    EXPECT_FALSE(Check("chkUseDefExcl")->isChecked());
    EXPECT_TRUE(ScopeExclusions().isEmpty());
    Click("btnAddExclExtn");
    EXPECT_EQ(ScopeExclusions(), QStringList{""});
    Check("chkUseDefExcl")->click();
    EXPECT_EQ(ScopeExclusions(), defaults);
    EXPECT_EQ(Entries(C<QListWidget>("lstExclExtn")), defaults);
}

TEST_F(MainFormTest, ResultListsKeepTheCommandLineOrderAndScrollAsWideAsTheWidestEntry) {
    LoadedForm();
    const QString wide = "http://h/" + QString(400, 'w') + " <- http://h/" + QString(400, 'r');
    for (const QString& entry : {QString("http://h/b"), wide, QString("http://h/A")}) {
        form_->AddToList(ListControl::lstSkippedLinks, entry.toStdString());
    }
    ResultList* list = List("lstSkippedLinks");
    EXPECT_EQ(Entries(list), (QStringList{"http://h/A", "http://h/b", wide}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    list->doItemsLayout();
    EXPECT_GE(list->horizontalScrollBar()->maximum() + list->viewport()->width(),
              list->fontMetrics().horizontalAdvance(wide));
}

TEST_F(MainFormTest, EntryDetailsGiveUrlLoadTimeAndReferrersEachOnALine) {
    LinkStatistics::ResetLinkStatistics();
    LinkStatistics::AddBrokenLink("http://h/gone", 3, "http://h/index.html");
    const QStringList lines = EntryDetails("http://h/gone");
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), "http://h/gone");
    EXPECT_TRUE(lines.contains("Load time: 3 s"));
    EXPECT_EQ(lines.last(), "Referred to by http://h/index.html");
    EXPECT_FALSE(lines.contains(QString())) << "no empty reason line";
}

TEST_F(MainFormTest, ContextMenuCopiesTheChosenRowsAndOpensOnlyWebUrls) {
    LoadedForm();
    for (const char* entry :
         {"http://h/a <- http://h/p1", "http://h/b <- http://h/p2", "mailto:x@h <- http://h/p3"}) {
        form_->AddToList(ListControl::lstBrokenLinks, entry);
    }
    ResultList* list = List("lstBrokenLinks");
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    const std::vector<std::pair<const char*, QString>> copies = {
        {"actCopyUrl", "http://h/a\nhttp://h/b"},
        {"actCopyReferrer", "http://h/p1\nhttp://h/p2"},
        {"actCopyLine", "http://h/a <- http://h/p1\nhttp://h/b <- http://h/p2"}};
    for (const auto& [action, text] : copies) {
        Control<QAction>(list, action)->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), text) << action;
    }
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    Control<QAction>(list, "actOpenReferrer")->trigger();
    const QPoint first = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(opened_, (QStringList{"http://h/p2", "http://h/a"}));
    list->setCurrentRow(2);
    EXPECT_FALSE(Control<QAction>(list, "actOpenUrl")->isEnabled());
}

TEST_F(MainFormTest, EnterInAUrlBoxStartsARunWhoseEndTheStatusLineTells) {
    LoadedForm();
    QTest::keyClick(Box("txtStartURL"), Qt::Key_Return);
    EXPECT_EQ(Status(), "") << "no run without a start URL";
    Box("txtStartURL")->setText("http://127.0.0.1:9/none.html");
    QTest::keyClick(Box("txtBaseURL"), Qt::Key_Return);
    EXPECT_EQ(Entries(List("lstBrokenLinks")), QStringList{"http://127.0.0.1:9/none.html <- "});
    EXPECT_TRUE(
        testing::Matches("^Finished in [0-9]+ s: 0 successful, 0 skipped, 1 broken$", Status()));
    EXPECT_FALSE(C("busyIndicator")->isVisible());
    components_.browser.fails = true;
    QTest::keyClick(Box("txtStartURL"), Qt::Key_Enter);
    EXPECT_TRUE(testing::Matches("^Failed: .*the browser is gone.*1 broken\\)$", Status()));
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(MainFormTest, APathAsStartUrlBecomesItsFileUrl) {
    LoadedForm();
    QTemporaryDir dir;
    QFile(dir.filePath("index.html")).open(QIODevice::WriteOnly);
    Box("txtStartURL")->setText(dir.path());
    Click("btnStartStop");
    EXPECT_EQ(Box("txtStartURL")->text(),
              QUrl::fromLocalFile(dir.filePath("index.html")).toString());
    Box("txtStartURL")->setText("no/such/page.html");
    Click("btnStartStop");
    EXPECT_TRUE(Status().contains("neither a URL")) << Status().toStdString();
}

TEST_F(MainFormTest, AFailedReportNamesPathAndReason) {
    LoadedForm();
    chosenPath_ = "/no-such-dir/report.log";
    Click("btnReport");
    EXPECT_EQ(messages_, QStringList{"The report could not be written to /no-such-dir/report.log: "
                                     "No such file or directory"});
}

TEST_F(MainFormTest, PaneShowsPagesWithACaptionAndDrawsNoImageItHasNot) {
    LoadedForm();
    BrowserPane& pane = form_->browserPane();
    pane.LoadCompleted("http://h/page.html",
                       "<title>Hives</title><p>Hello<img src=\"http://127.0.0.1:9/i.png\"></p>");
    EXPECT_EQ(pane.toPlainText(), QString("Hello") + QChar(QChar::ObjectReplacementCharacter));
    EXPECT_EQ(C<QLabel>("lblShownPage")->text(), "Shown below: Hives - http://h/page.html");
    const QVariant image =
        pane.document()->resource(QTextDocument::ImageResource, QUrl("http://127.0.0.1:9/i.png"));
    EXPECT_EQ(image.value<QImage>().pixelColor(0, 0).alpha(), 0) << "transparent, not broken";
    pane.LoadCompleted("about:blank", "");
    EXPECT_TRUE(pane.toPlainText().isEmpty());
    EXPECT_EQ(C<QLabel>("lblShownPage")->text(), "");
}

}  // namespace
}  // namespace quill::ui
