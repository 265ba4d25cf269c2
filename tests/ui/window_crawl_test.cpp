// Crawls from the window on the live components against a loopback site: Start, the lists and
// counters, the captions after the run, Stop clicked and the window closed in the middle of a run,
// and the report written through the Report button.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <sstream>

#include "crawl/report_file.h"
#include "live/live_services.h"
#include "support/loopback_http_server.h"
#include "ui/browser_pane.h"
#include "ui/main_form.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using test_support::LoopbackHttpServer;
using testing::Control;
using testing::Entries;

// A site under /site/: a start page with an image, a page below it, a missing page and a link out
// of the site.
void ServeBeeSite(LoopbackHttpServer& server) {
    server.ServePage("/site/index.html",
                     "<html><head><title>Bee Home</title></head><body>"
                     "<img src=\"logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
                     "<a href=\"a.html\">Hives</a> <a href=\"missing.html\">Missing</a> "
                     "<a href=\"/outside.html\">Outside</a></body></html>");
    server.ServePage("/site/a.html",
                     "<html><head><title>Hives</title></head><body>"
                     "<a href=\"index.html\">Home</a></body></html>");
    server.ServeFile("/site/logo.png", "image/png", std::string("\x89PNG\r\n\x1a\n", 8));
    server.ServePage("/outside.html", "<html><body>elsewhere</body></html>");
}

// Calls `action` once, from the window's event processing, as soon as `condition` holds.
class WhenReady {
  public:
    WhenReady(std::function<bool()> condition, std::function<void()> action)
        : condition_(std::move(condition)), action_(std::move(action)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!done_ && condition_()) {
                done_ = true;
                timer_.stop();
                action_();
            }
        });
        timer_.start(10);
    }
    bool Done() const { return done_; }

  private:
    std::function<bool()> condition_;
    std::function<void()> action_;
    QTimer timer_;
    bool done_ = false;
};

class WindowCrawlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::StoreShowTips(QStringLiteral("0"));
        form_ = std::make_unique<MainForm>(MainFormParts{
            live_.Clock(),
            [this](platform::Sleeper& sleeper, platform::EventPump& pump) {
                return live_.Services(sleeper, pump);
            },
            [this](platform::BrowserObserver* observer) { live_.Browser().SetObserver(observer); },
            QString(),
            SystemInfoLauncher{},
        });
        form_->SetMessageBox(
            [this](QWidget*, const QString&, const QString& text) { messages_.append(text); });
        form_->Form_Load();
    }

    void TearDown() override {
        form_.reset();
        testing::RunDeferredDeletes();
    }

    template <typename Widget = QWidget>
    Widget* C(const char* name) {
        return Control<Widget>(form_.get(), name);
    }
    QString Url(const std::string& path) const { return QString::fromStdString(server_.Url(path)); }
    QString Text(const char* label) { return C<QLabel>(label)->text(); }

    void Start(const std::string& path) {
        C<QLineEdit>("txtStartURL")->setText(Url(path));
        QTest::mouseClick(C<QPushButton>("btnStartStop"), Qt::LeftButton);
    }

    LoopbackHttpServer server_;
    // These tests time Stop and Close by the walk's own page requests, which the look-ahead would
    // send first; the look-ahead is tested on its own.
    LiveComponents live_{LookAheadSettings{.enabled = false}};
    std::unique_ptr<MainForm> form_;
    QStringList messages_;
};

TEST_F(WindowCrawlTest, CrawlFillsListsAndCountersAndEndsIdle) {
    ServeBeeSite(server_);
    C<QCheckBox>("chkExternal")->click();  // the link out of the site is skipped
    Start("/site/index.html");

    EXPECT_EQ(Entries(C<QListWidget>("lstGoodLinks")),
              (QStringList{Url("/site/a.html"), Url("/site/index.html"), Url("/site/logo.png")}));
    EXPECT_EQ(Entries(C<QListWidget>("lstBrokenLinks")),
              QStringList{Url("/site/missing.html") + " <- " + Url("/site/index.html")});
    EXPECT_EQ(Entries(C<QListWidget>("lstSkippedLinks")),
              QStringList{Url("/outside.html") + " <- " + Url("/site/index.html")});
    EXPECT_EQ(Text("lblNumSuccessfulLinks"), "3");
    EXPECT_EQ(Text("lblNumBrokenLinks"), "1");
    EXPECT_EQ(Text("lblNumSkippedLinks"), "1");

    EXPECT_EQ(C<QPushButton>("btnStartStop")->text(), "Start");
    EXPECT_EQ(Text("lblDepth"), "0");
    EXPECT_EQ(Text("lblDocHref"), "");
    EXPECT_EQ(Text("lblDocTitle"), "");
    EXPECT_EQ(form_->browserPane().Location(), "about:blank");
    EXPECT_TRUE(form_->browserPane().toPlainText().isEmpty());
    EXPECT_FALSE(form_->crawl().InRun());
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

TEST_F(WindowCrawlTest, PaneShowsEachPageOnceItHasLoaded) {
    // Two pages held back by the server until the test lets them go, so the run waits for each.
    server_.ServePage("/site/index.html",
                      "<html><head><title>Bee Home</title></head><body>"
                      "<a href=\"first.html\">First</a> <a href=\"second.html\">Second</a>"
                      "</body></html>");
    server_.ServeInTwoParts("/site/first.html", "text/html",
                            "<html><head><title>First</title></head><body>First page",
                            "</body></html>");
    server_.ServeInTwoParts("/site/second.html", "text/html", "<html><body>Second page",
                            "</body></html>");
    QString shownWhileFirstLoads;
    QString docWhileFirstLoads;
    QString shownWhileSecondLoads;
    WhenReady first([this] { return server_.RequestCount("GET", "/site/first.html") > 0; },
                    [&] {
                        shownWhileFirstLoads = form_->browserPane().toPlainText();
                        docWhileFirstLoads = Text("lblDocHref");
                        server_.Release("/site/first.html");
                    });
    WhenReady second([this] { return server_.RequestCount("GET", "/site/second.html") > 0; },
                     [&] {
                         shownWhileSecondLoads = form_->browserPane().toPlainText();
                         server_.Release("/site/second.html");
                     });
    Start("/site/index.html");

    ASSERT_TRUE(first.Done());
    ASSERT_TRUE(second.Done());
    EXPECT_EQ(shownWhileFirstLoads, "First Second");
    EXPECT_EQ(docWhileFirstLoads, Url("/site/first.html"));
    EXPECT_EQ(shownWhileSecondLoads, "First page");
    EXPECT_EQ(form_->browserPane().Location(), "about:blank") << "blank again after the run";
    EXPECT_EQ(
        Entries(C<QListWidget>("lstGoodLinks")),
        (QStringList{Url("/site/first.html"), Url("/site/index.html"), Url("/site/second.html")}));
}

TEST_F(WindowCrawlTest, StopClickedDuringAPageLoadEndsTheRun) {
    ServeBeeSite(server_);
    server_.ServePage("/site/index.html",
                      "<html><body><a href=\"a.html\">A</a> <a href=\"slow.html\">Slow</a> "
                      "<a href=\"later.html\">Later</a></body></html>");
    server_.ServeInTwoParts("/site/slow.html", "text/html", "<html><body>", "</body></html>");
    server_.ServePage("/site/later.html", "<html></html>");
    WhenReady stop([this] { return server_.RequestCount("GET", "/site/slow.html") > 0; },
                   [this] {
                       EXPECT_EQ(C<QPushButton>("btnStartStop")->text(), "Stop");
                       QTest::mouseClick(C<QPushButton>("btnStartStop"), Qt::LeftButton);
                   });
    Start("/site/index.html");

    ASSERT_TRUE(stop.Done());
    EXPECT_EQ(Entries(C<QListWidget>("lstBrokenLinks")),
              QStringList{Url("/site/slow.html") + " <- " + Url("/site/index.html")});
    EXPECT_EQ(Entries(C<QListWidget>("lstGoodLinks")),
              (QStringList{Url("/site/a.html"), Url("/site/index.html")}));
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0) << "no link is taken after Stop";
    EXPECT_EQ(C<QPushButton>("btnStartStop")->text(), "Start");
    EXPECT_EQ(Text("lblDepth"), "0");
    EXPECT_FALSE(form_->crawl().InRun());
}

TEST_F(WindowCrawlTest, ClosingTheWindowDuringARunStopsItThenCloses) {
    server_.ServePage("/site/index.html",
                      "<html><body><a href=\"slow.html\">Slow</a> <a href=\"later.html\">Later</a>"
                      "</body></html>");
    server_.ServeInTwoParts("/site/slow.html", "text/html", "<html><body>", "</body></html>");
    server_.ServePage("/site/later.html", "<html></html>");
    bool closedAtOnce = true;
    WhenReady close([this] { return server_.RequestCount("GET", "/site/slow.html") > 0; },
                    [&] {
                        closedAtOnce = form_->close();
                        EXPECT_TRUE(form_->isVisible()) << "the window waits for the run";
                    });
    Start("/site/index.html");

    ASSERT_TRUE(close.Done());
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_FALSE(form_->crawl().InRun());
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0);
    EXPECT_EQ(Entries(C<QListWidget>("lstBrokenLinks")),
              QStringList{Url("/site/slow.html") + " <- " + Url("/site/index.html")});
}

TEST_F(WindowCrawlTest, ReportAfterTheRunHoldsEveryVerdict) {
    ServeBeeSite(server_);
    C<QCheckBox>("chkExternal")->click();
    Start("/site/index.html");

    QTemporaryDir dir;
    const QString path = dir.filePath("bees.log");
    form_->SetReportPathChooser([&](QWidget*, const QString&) { return path; });
    QTest::mouseClick(C<QPushButton>("btnReport"), Qt::LeftButton);
    ASSERT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    // Load times are whole seconds that depend on the machine; everything else is fixed.
    QString masked = content;
    masked.replace(QRegularExpression(QStringLiteral("^(\"(?:broken|valid)\"),-?[0-9]+,"),
                                      QRegularExpression::MultilineOption),
                   QStringLiteral("\\1,#,"));
    masked.replace(Url("/"), QStringLiteral("{o}/"));
    EXPECT_TRUE(
        masked.startsWith("\"link status\",\"time to load\",\"link href\",\"referer\"\r\n"
                          "\"broken\",#,\"{o}/site/missing.html\",\"{o}/site/index.html\"\r\n"
                          "\"skipped\",0,\"{o}/outside.html\",\"{o}/site/index.html\"\r\n"
                          "\"valid\",#,\"{o}/site/logo.png\",\"{o}/site/index.html\"\r\n"
                          "\"valid\",#,\"{o}/site/a.html\",\"{o}/site/index.html\"\r\n"
                          "\"valid\",#,\"{o}/site/index.html\",\"\"\r\n"))
        << content.toStdString();
    // The rest is the advisory section, as the report writer gives it for this registry.
    std::ostringstream expected;
    WriteReport(expected);
    EXPECT_EQ(content.toStdString(), expected.str());
}

}  // namespace
}  // namespace quill::ui
