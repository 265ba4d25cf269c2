// The main window without the network: start-up, the depth and exclusion handlers, the result
// lists (order, width, details, context menu), the keys, the status line and the browser pane.
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
#include <stdexcept>
#include <utility>
#include <vector>

#include "crawl/crawl.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"
#include "ui/browser_pane.h"
#include "ui/result_list.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;
using testing::Entries;

struct EmptyPageBrowser final : platform::Browser {
    void SetSilent(bool) override {}
    void SetOffline(bool) override {}
    void Navigate(const std::string& url) override {
        if (fails) {
            throw std::runtime_error("the browser is gone");
        }
        location_ = url;
    }
    int ReadyState() override { return kReadyStateComplete; }
    std::string LocationURL() override { return location_; }
    std::shared_ptr<const platform::Document> GetDocument() override {
        return std::make_shared<platform::Document>();
    }

    bool fails = false;
    std::string location_ = "about:blank";
};

struct NoPageLoader final : platform::PageLoader {
    std::shared_ptr<platform::PageLoad> Load(const std::string&) override { return nullptr; }
};

struct SilentTransferControl final : platform::TransferControl {
    void Execute(const std::string&, const std::string&) override {}
    bool StillExecuting() override { return false; }
    std::string GetHeader() override { return ""; }
};

struct MidMonthClock final : platform::Clock {
    TimePoint Now() const override { return TimePoint{}; }
    int UtcDayOfMonth() const override { return 15; }
};

// Everything a crawl needs without the network: a browser that shows empty pages (or fails, to
// end a run on a failure), a transfer control that answers nothing.
struct IdleCrawlComponents {
    EmptyPageBrowser browser;
    NoPageLoader pageLoader;
    MidMonthClock clock;

    CrawlServices Services(platform::Sleeper& sleeper, platform::EventPump& pump) {
        return CrawlServices{
            browser, std::make_shared<SilentTransferControl>(), pageLoader, clock, sleeper, pump};
    }
};

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
                          QString(),
                          SystemInfoLauncher{}});
        form_->SetMessageBox(
            [this](QWidget*, const QString&, const QString& text) { messages_.append(text); });
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
    QString Status() { return C<QLabel>("lblStatus")->text(); }
    void Click(const char* button) { QTest::mouseClick(C<QPushButton>(button), Qt::LeftButton); }

    IdleCrawlComponents components_;
    std::unique_ptr<MainForm> form_;
    QStringList messages_, opened_;
};

TEST_F(MainFormTest, StartUpOpensTheTipsCentredOnTheWindow) {
    testing::StoreShowTips(QString());
    LoadedForm();
    ASSERT_NE(form_->tipWindow(), nullptr);
    const QPoint offset =
        form_->tipWindow()->frameGeometry().center() - form_->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 10);
}

// The depth box after "Unlimited" is unticked: as the digits are deleted, the empty box reads 0
// and the depth falls back to unlimited.
TEST_F(MainFormTest, DepthBoxRunsTheHandlerChain) {
    LoadedForm();
    Check("chkMaxDepth")->click();
    QLineEdit* box = Box("txtMaxDepth");
    box->end(false);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(form_->MaximumDepth(), 1);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "0");
    EXPECT_TRUE(Check("chkMaxDepth")->isChecked());
    EXPECT_FALSE(box->isEnabled());
}

TEST_F(MainFormTest, ExclusionControlsKeepListAndScopeTheSame) {
    LoadedForm();
    const QStringList defaults = ScopeExclusions();
    Box("txtExclExtn")->setText(" MP4");
    QTest::keyClick(Box("txtExclExtn"), Qt::Key_Return);  // Enter presses Add
    EXPECT_EQ(ScopeExclusions(), defaults + QStringList{" MP4"});
    Click("btnClearExclExtn");
    EXPECT_FALSE(Check("chkUseDefExcl")->isChecked());
    EXPECT_TRUE(ScopeExclusions().isEmpty());
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
    ResultList* list = C<ResultList>("lstSkippedLinks");
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
    ResultList* list = C<ResultList>("lstBrokenLinks");
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
    EXPECT_EQ(Entries(C<ResultList>("lstBrokenLinks")),
              QStringList{"http://127.0.0.1:9/none.html <- "});
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
