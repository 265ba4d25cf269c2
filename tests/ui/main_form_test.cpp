// The main window: start-up, handlers, result lists, keys, end texts and the pane without the
// network; on a loopback site that holds a page back, the status line, Escape and Close mid-run.
#include "ui/main_form.h"

#include <gmock/gmock.h>
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
#include <QTimer>
#include <stdexcept>

#include "live/live_services.h"
#include "registry/link_statistics.h"
#include "scope/visit_control.h"
#include "support/loopback_http_server.h"
#include "ui/browser_pane.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using testing::Control;
using testing::Entries;

// A loaded main window on the parts a test gives; its message boxes and opened URLs collected.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::StoreShowTips(QStringLiteral("0")); }
    void TearDown() override { form_.reset(); }  // before the parts it was built on
    void Load(MainFormParts parts) {
        form_ = std::make_unique<MainForm>(std::move(parts));
        form_->SetMessageBox(
            [this](QWidget*, const QString&, const QString& text) { messages_.append(text); });
        form_->SetUrlOpener([this](const QUrl& url) { opened_.append(url.toString()); });
        form_->Form_Load();
    }
    template <typename Widget = QWidget>
    Widget* C(const char* name) {
        return Control<Widget>(form_.get(), name);
    }
    QString Status() { return C<QLabel>("lblStatus")->text(); }

    // Stop and Close are timed by the walk's own requests, which the look-ahead would send first.
    LiveComponents live_{LookAheadSettings{.enabled = false}};
    std::unique_ptr<MainForm> form_;
    QStringList messages_, opened_;
};

// A crawl without the network: a browser that shows empty pages (or fails, to end a run on a
// failure) and a transfer control that answers nothing.
struct EmptyPageBrowser final : platform::Browser {
    void SetSilent(bool) override {}
    void SetOffline(bool) override {}
    void Navigate(const std::string& url) override {
        location = fails ? throw std::runtime_error("the browser is gone") : url;
    }
    int ReadyState() override { return kReadyStateComplete; }
    std::string LocationURL() override { return location; }
    std::shared_ptr<const platform::Document> GetDocument() override {
        return std::make_shared<platform::Document>();
    }
    bool fails = false;
    std::string location = "about:blank";
};

struct SilentTransferControl final : platform::TransferControl {
    void Execute(const std::string&, const std::string&) override {}
    bool StillExecuting() override { return false; }
    std::string GetHeader() override { return ""; }
};

QStringList ScopeExclusions() {
    QStringList entries;
    for (const std::string& extension : VisitControl::ExcludedExtensions()) {
        entries.append(QString::fromStdString(extension));
    }
    return entries;
}

class MainFormTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        LoadIdle();
    }
    void LoadIdle() {
        auto services = [this](platform::Sleeper& sleeper, platform::EventPump& pump) {
            const CrawlServices live = live_.Services(sleeper, pump);
            return CrawlServices{browser_, inet_, live.pageLoader, live.clock, sleeper, pump};
        };
        Load(MainFormParts{live_.Clock(), services, {}, QString(), SystemInfoLauncher{}});
    }

    EmptyPageBrowser browser_;
    std::shared_ptr<SilentTransferControl> inet_ = std::make_shared<SilentTransferControl>();
};

// Start-up opens the tips centred on the window; an entry's details give URL, load time and
// referrers each on a line.
TEST_F(MainFormTest, StartUpOpensTheTipsAndEntryDetailsTellAnEntry) {
    testing::StoreShowTips(QString());
    LoadIdle();
    ASSERT_NE(form_->tipWindow(), nullptr);
    const QPoint offset =
        form_->tipWindow()->frameGeometry().center() - form_->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 10);
    LinkStatistics::ResetLinkStatistics();
    LinkStatistics::AddBrokenLink("http://h/gone", 3, "http://h/index.html");
    EXPECT_EQ(EntryDetails("http://h/gone"), (QStringList{"http://h/gone", "Load time: 3 s",
                                                          "Referred to by http://h/index.html"}));
}

// The depth box after "Unlimited" is unticked: as the digits are deleted, the empty box reads 0
// and the depth falls back to unlimited. The exclusion controls keep list and scope the same.
TEST_F(MainFormTest, DepthAndExclusionHandlers) {
    C<QCheckBox>("chkMaxDepth")->click();
    QLineEdit* box = C<QLineEdit>("txtMaxDepth");
    box->end(false);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(form_->MaximumDepth(), 1);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "0");
    EXPECT_TRUE(C<QCheckBox>("chkMaxDepth")->isChecked());
    EXPECT_FALSE(box->isEnabled());

    const QStringList defaults = ScopeExclusions();
    C<QLineEdit>("txtExclExtn")->setText(" MP4");
    QTest::keyClick(C<QLineEdit>("txtExclExtn"), Qt::Key_Return);  // Enter presses Add
    EXPECT_EQ(ScopeExclusions(), defaults + QStringList{" MP4"});
    C<QPushButton>("btnClearExclExtn")->click();
    EXPECT_FALSE(C<QCheckBox>("chkUseDefExcl")->isChecked());
    EXPECT_TRUE(ScopeExclusions().isEmpty());
    C<QCheckBox>("chkUseDefExcl")->click();
    EXPECT_EQ(ScopeExclusions(), defaults);
    EXPECT_EQ(Entries(C<QListWidget>("lstExclExtn")), defaults);
}

// A result list sorts as the command line does, scrolls as wide as its widest entry, and its
// context menu copies the chosen rows and opens only web URLs.
TEST_F(MainFormTest, ResultListSortsScrollsAndCopies) {
    const QString wide = "http://h/" + QString(400, 'w') + " <- http://h/" + QString(400, 'r');
    for (const QString& entry :
         {QString("http://h/b <- http://h/p2"), wide, QString("mailto:x@h <- http://h/p3"),
          QString("http://h/A <- http://h/p1")}) {
        form_->AddToList(ListControl::lstBrokenLinks, entry.toStdString());
    }
    ResultList* list = C<ResultList>("lstBrokenLinks");
    EXPECT_EQ(Entries(list), (QStringList{"http://h/A <- http://h/p1", "http://h/b <- http://h/p2",
                                          wide, "mailto:x@h <- http://h/p3"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    list->doItemsLayout();
    EXPECT_GE(list->horizontalScrollBar()->maximum() + list->viewport()->width(),
              list->fontMetrics().horizontalAdvance(wide));
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    const std::pair<const char*, QString> copies[] = {
        {"actCopyUrl", "http://h/A\nhttp://h/b"},
        {"actCopyReferrer", "http://h/p1\nhttp://h/p2"},
        {"actCopyLine", "http://h/A <- http://h/p1\nhttp://h/b <- http://h/p2"}};
    for (const auto& [action, text] : copies) {
        Control<QAction>(list, action)->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), text) << action;
    }
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    Control<QAction>(list, "actOpenReferrer")->trigger();
    const QPoint first = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(opened_, (QStringList{"http://h/p2", "http://h/A"}));
    list->setCurrentRow(3);
    EXPECT_FALSE(Control<QAction>(list, "actOpenUrl")->isEnabled());
}

TEST_F(MainFormTest, EnterInAUrlBoxStartsARunWhoseEndTheStatusLineTells) {
    QTest::keyClick(C<QLineEdit>("txtStartURL"), Qt::Key_Return);
    EXPECT_EQ(Status(), "") << "no run without a start URL";
    C<QLineEdit>("txtStartURL")->setText("http://127.0.0.1:9/none.html");
    QTest::keyClick(C<QLineEdit>("txtBaseURL"), Qt::Key_Return);
    EXPECT_EQ(Entries(C<ResultList>("lstBrokenLinks")),
              QStringList{"http://127.0.0.1:9/none.html <- "});
    EXPECT_THAT(
        Status().toStdString(),
        ::testing::MatchesRegex("^Finished in [0-9]+ s: 0 successful, 0 skipped, 1 broken$"));
    EXPECT_FALSE(C("busyIndicator")->isVisible());
    // A path becomes its file: URL; text that names nothing is refused.
    QTemporaryDir dir;
    QFile(dir.filePath("index.html")).open(QIODevice::WriteOnly);
    C<QLineEdit>("txtStartURL")->setText(dir.path());
    C<QPushButton>("btnStartStop")->click();
    EXPECT_EQ(C<QLineEdit>("txtStartURL")->text(),
              QUrl::fromLocalFile(dir.filePath("index.html")).toString());
    C<QLineEdit>("txtStartURL")->setText("no/such/page.html");
    C<QPushButton>("btnStartStop")->click();
    EXPECT_TRUE(Status().contains("neither a URL")) << Status().toStdString();
    C<QLineEdit>("txtStartURL")->setText("http://127.0.0.1:9/none.html");
    browser_.fails = true;
    QTest::keyClick(C<QLineEdit>("txtStartURL"), Qt::Key_Enter);
    EXPECT_THAT(Status().toStdString(),
                ::testing::MatchesRegex("^Failed: .*the browser is gone.*1 broken\\)$"));
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(MainFormTest, PaneShowsPagesWithACaption) {
    form_->browserPane().LoadCompleted("http://h/page.html", "<title>Hives</title><p>Hello</p>");
    EXPECT_EQ(form_->browserPane().toPlainText(), "Hello");
    EXPECT_EQ(C<QLabel>("lblShownPage")->text(), "Shown below: Hives - http://h/page.html");
    form_->browserPane().LoadCompleted("about:blank", "");
    EXPECT_EQ(C<QLabel>("lblShownPage")->text(), "");
}

class WindowCrawlTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Load(MainFormParts{
            live_.Clock(),
            [this](platform::Sleeper& sleeper, platform::EventPump& pump) {
                return live_.Services(sleeper, pump);
            },
            [this](platform::BrowserObserver* observer) { live_.Browser().SetObserver(observer); },
            QString(), SystemInfoLauncher{}});
    }
    QString Url(const std::string& path) const { return QString::fromStdString(server_.Url(path)); }

    // Starts on a site whose start page links to a held-back page and one after it; `action`
    // runs once, from the window's event processing, when the slow page is asked for.
    void WhenSlowPageAsked(std::function<void()> action) {
        QObject::connect(&poll_, &QTimer::timeout, [this, action] {
            if (!acted_ && server_.RequestCount("GET", "/site/slow.html") > 0) {
                acted_ = true;
                action();
            }
        });
        poll_.start(10);
        server_.ServePage("/site/index.html",
                          "<html><body><a href=\"a.html\">A</a> <a href=\"slow.html\">Slow</a> "
                          "<a href=\"later.html\">Later</a></body></html>");
        server_.ServePage("/site/a.html", "<html></html>");
        server_.ServeInTwoParts("/site/slow.html", "text/html", "<html><body>", "</body></html>");
        server_.ServePage("/site/later.html", "<html></html>");
        C<QLineEdit>("txtStartURL")->setText(Url("/site/index.html"));
        QTest::mouseClick(C<QPushButton>("btnStartStop"), Qt::LeftButton);
    }

    test_support::LoopbackHttpServer server_;
    QTimer poll_;
    bool acted_ = false;
};

// Escape stops the run while a page loads; no link is taken after Stop.
TEST_F(WindowCrawlTest, EscapeDuringAPageLoadStopsTheRun) {
    QString midRun;
    bool busy = false;
    WhenSlowPageAsked([&] {
        midRun = Status();
        busy = C("busyIndicator")->isVisible();
        QTest::keyClick(C("lstGoodLinks"), Qt::Key_Escape);
    });
    ASSERT_TRUE(acted_);
    EXPECT_TRUE(busy);
    EXPECT_EQ(midRun, "2 pages walked, 1 URL met: " + Url("/site/a.html"));
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0);
    EXPECT_THAT(
        Status().toStdString(),
        ::testing::MatchesRegex("^Stopped after [0-9]+ s: 2 successful, 0 skipped, 1 broken$"));
    EXPECT_FALSE(C("busyIndicator")->isVisible());
}

// Closing during a run hides the window at once; it closes once the run has unwound.
TEST_F(WindowCrawlTest, ClosingTheWindowDuringARunHidesItAtOnceAndClosesAfterTheRun) {
    bool closedAtOnce = true, visibleAfterClose = true;
    WhenSlowPageAsked([&] {
        closedAtOnce = form_->close();
        visibleAfterClose = form_->isVisible();
    });
    ASSERT_TRUE(acted_);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(visibleAfterClose);
    EXPECT_FALSE(form_->crawl().InRun());
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0);
    EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
}  // namespace quill::ui
