// Crawls from the window on the live components against a loopback site that holds a page back:
// the status line during a run, Escape and Close while the page loads.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "live/live_services.h"
#include "support/loopback_http_server.h"
#include "ui/main_form.h"
#include "ui_test_support.h"

namespace quill::ui {
namespace {

using test_support::LoopbackHttpServer;
using testing::Control;

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
            QString(), SystemInfoLauncher{}});
        form_->SetMessageBox(
            [this](QWidget*, const QString&, const QString& text) { messages_.append(text); });
        form_->Form_Load();
    }

    void TearDown() override { form_.reset(); }

    template <typename Widget = QWidget>
    Widget* C(const char* name) {
        return Control<Widget>(form_.get(), name);
    }
    QString Url(const std::string& path) const { return QString::fromStdString(server_.Url(path)); }
    QString Text(const char* label) { return C<QLabel>(label)->text(); }

    // The start page links to a page the server holds back, and to one after it.
    void StartOnSlowSite() {
        server_.ServePage("/site/index.html",
                          "<html><body><a href=\"a.html\">A</a> <a href=\"slow.html\">Slow</a> "
                          "<a href=\"later.html\">Later</a></body></html>");
        server_.ServePage("/site/a.html", "<html></html>");
        server_.ServeInTwoParts("/site/slow.html", "text/html", "<html><body>", "</body></html>");
        server_.ServePage("/site/later.html", "<html></html>");
        C<QLineEdit>("txtStartURL")->setText(Url("/site/index.html"));
        QTest::mouseClick(C<QPushButton>("btnStartStop"), Qt::LeftButton);
    }
    // Calls `action` once, from the window's event processing, once the slow page is asked for.
    void WhenSlowPageAsked(std::function<void()> action) {
        QObject::connect(&poll_, &QTimer::timeout, [this, action] {
            if (!acted_ && server_.RequestCount("GET", "/site/slow.html") > 0) {
                acted_ = true;
                action();
            }
        });
        poll_.start(10);
    }

    LoopbackHttpServer server_;
    // These tests time Stop and Close by the walk's own page requests, which the look-ahead would
    // send first; the look-ahead is tested on its own.
    LiveComponents live_{LookAheadSettings{.enabled = false}};
    std::unique_ptr<MainForm> form_;
    QStringList messages_;
    QTimer poll_;
    bool acted_ = false;
};

TEST_F(WindowCrawlTest, EscapeDuringAPageLoadStopsTheRun) {
    QString midRun;
    bool busy = false;
    WhenSlowPageAsked([&] {
        midRun = Text("lblStatus");
        busy = C("busyIndicator")->isVisible();
        QTest::keyClick(C("lstGoodLinks"), Qt::Key_Escape);
    });
    StartOnSlowSite();

    ASSERT_TRUE(acted_);
    EXPECT_TRUE(busy);
    EXPECT_EQ(midRun, "2 pages walked, 1 URL met: " + Url("/site/a.html"));
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0) << "no link is taken after Stop";
    EXPECT_TRUE(testing::Matches("^Stopped after [0-9]+ s: 2 successful, 0 skipped, 1 broken$",
                                 Text("lblStatus")));
    EXPECT_FALSE(C("busyIndicator")->isVisible());
}

TEST_F(WindowCrawlTest, ClosingTheWindowDuringARunHidesItAtOnceAndClosesAfterTheRun) {
    bool closedAtOnce = true, visibleAfterClose = true;
    WhenSlowPageAsked([&] {
        closedAtOnce = form_->close();
        visibleAfterClose = form_->isVisible();
    });
    StartOnSlowSite();

    ASSERT_TRUE(acted_);
    EXPECT_FALSE(closedAtOnce) << "the run unwinds first";
    EXPECT_FALSE(visibleAfterClose);
    EXPECT_FALSE(form_->crawl().InRun());
    EXPECT_EQ(server_.RequestCount("/site/later.html"), 0);
    EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
}  // namespace quill::ui
