// The URL probe and the browser's page load over the real transfer control and engine against the
// loopback server: verdicts by status code, HEAD refused, time-outs, Stop, reasons, and waits
// that end when the answer arrives. (Rate limits: url_checker_test.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/curl_transfer_engine.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"
#include "probe/url_checker.h"
#include "support/loopback_http_server.h"

namespace quill {
namespace {

using platform::Completion;
using test_support::HttpResponse;
using test_support::LoopbackHttpServer;

// A sleep on the probe's request lasts until its answer (it must come), a sleep on anything else
// (a rate limit's wait) returns at once. `onSleep` runs first, e.g. to release a held answer.
class AnswerSleeper final : public platform::Sleeper, public platform::EventPump {
  public:
    explicit AnswerSleeper(platform::TransferControl& control) : control_(control) {}
    void Sleep(int) override {}
    void SleepUntil(int, Completion& done) override {
        if (onSleep) {
            onSleep();
        }
        if (&done != control_.RequestDone().get()) {
            return;
        }
        done.WaitFor(30000);
        endedByAnswer += done.Done() ? 1 : 0;
    }
    void PumpEvents() override {}

    std::function<void()> onSleep;
    int endedByAnswer = 0;

  private:
    platform::TransferControl& control_;
};

class ProbeEndToEndTest : public ::testing::Test {
  protected:
    ProbeEndToEndTest() { URLChecker::SetInetControl(control_); }
    ~ProbeEndToEndTest() override { URLChecker::SetInetControl(nullptr); }

    bool Probe(const std::string& url) {
        return URLChecker::IsURLReachable(url, sleeper_, sleeper_);
    }

    LoopbackHttpServer server_;
    platform::CurlTransferEngine engine_;
    std::shared_ptr<platform::EngineTransferControl> control_ =
        std::make_shared<platform::EngineTransferControl>(engine_);
    AnswerSleeper sleeper_{*control_};
};

TEST_F(ProbeEndToEndTest, TheStatusCodeJudgesWhateverVersionAndReasonPhrase) {
    const struct {
        const char* head;    // the status line HEAD gets
        const char* get;     // nullptr: no GET is sent; "": 200 with a body that never comes
        const char* reason;  // one ending in a blank goes on with the server's origin and "/new"
    } cases[] = {{"HTTP/1.1 200 Ok", nullptr, "200 OK"},
                 {"HTTP/1.1 200", nullptr, "200 OK"},
                 {"HTTP/2 200", nullptr, "200 OK"},
                 {"HTTP/1.1 301 Gone", nullptr, "301 Moved Permanently \u2192 "},
                 {"HTTP/1.1 404 Nope", nullptr, "404 Not Found"},
                 {"HTTP/1.1 299 Odd", nullptr, "299"},
                 {"HTTP/1.1 405 Method Not Allowed", "", "200 OK"},
                 {"HTTP/1.1 501 Not Implemented", "", "200 OK"},
                 {"HTTP/1.1 405 No", "HTTP/1.1 404 X", "404 Not Found"}};
    for (const auto& c : cases) {
        const std::string path = "/" + std::to_string(&c - cases), reason = c.reason;
        server_.ServeInTwoParts(path, "application/pdf", "%PDF", "never sent");
        server_.ServeFor("HEAD", path, HttpResponse{c.head, {{"Location", "/new"}}, ""});
        if (c.get != nullptr && *c.get != '\0') {
            server_.ServeFor("GET", path, HttpResponse{c.get, {}, "x"});
        }
        EXPECT_EQ(Probe(server_.Url(path)), reason == "200 OK") << c.head;
        EXPECT_EQ(URLChecker::LastProbeReason(),
                  reason.back() == ' ' ? reason + server_.Url("/new") : reason);
        EXPECT_EQ(server_.RequestCount("GET", path), c.get == nullptr ? 0 : 1) << c.head;
    }
}

TEST_F(ProbeEndToEndTest, FailureHasNoStatusAndTheTimeOutBoundsTheProbe) {
    server_.ServePage("/", "<p>home</p>");
    ASSERT_TRUE(Probe(server_.Url("/")));
    EXPECT_FALSE(Probe("mailto:someone@example.test")) << "the last header must not show through";
    EXPECT_NE(URLChecker::LastProbeReason(), "200 OK");
    EXPECT_EQ(URLChecker::LastProbeStatus(), std::nullopt);
    test_support::SilentPort silent;
    URLChecker::SetRequestTimeout(1);
    EXPECT_FALSE(Probe(silent.Url()));
    EXPECT_EQ(URLChecker::LastProbeReason(), "timed out after 1 s");
    URLChecker::SetRequestTimeout(0);
}

TEST_F(ProbeEndToEndTest, WaitEndsWhenTheAnswerArrivesAndStopCancelsTheRequestInFlight) {
    server_.ServeWhenReleased("/held", HttpResponse{});
    sleeper_.onSleep = [this] { server_.Release("/held"); };
    EXPECT_TRUE(Probe(server_.Url("/held")));
    EXPECT_EQ(sleeper_.endedByAnswer, 1);
    server_.ServeNoReply("/hang");
    sleeper_.onSleep = [this] {
        ASSERT_TRUE(server_.WaitForRequest("/hang"));
        URLChecker::Stop();
    };
    EXPECT_FALSE(Probe(server_.Url("/hang")));
    EXPECT_EQ(URLChecker::LastProbeReason(), "stopped");
    EXPECT_EQ(sleeper_.endedByAnswer, 2);
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));
    EXPECT_FALSE(Probe(server_.Url("/other")));
    EXPECT_EQ(server_.RequestCount(), 2) << "no request after Stop";
}

TEST_F(ProbeEndToEndTest, PageLoadEndsItsWaitAndGivesTheReasonOfAFailure) {
    platform::WebBrowser browser(engine_);
    bool stop = false;
    const auto load = [&](const std::string& url) {
        browser.Navigate(url);
        const std::shared_ptr<Completion> done = browser.LoadDone();
        if (stop) {
            browser.Stop();
        }
        done->WaitFor(30000);
        EXPECT_TRUE(done->Done()) << url;
        EXPECT_EQ(browser.ReadyState(), platform::Browser::kReadyStateComplete) << url;
        return browser.LoadFailureReason();
    };
    server_.ServePage("/", "<p>home</p>");
    server_.ServeNoReply("/hang");
    test_support::RefusingPort refusing;
    test_support::SilentPort silent;
    EXPECT_EQ(load(server_.Url("/")), "");
    EXPECT_EQ(load(server_.Url("/missing")), "404 Not Found");
    EXPECT_EQ(load(refusing.Url()), "connection refused");
    stop = true;
    EXPECT_EQ(load(server_.Url("/hang")), "stopped");
    EXPECT_EQ(browser.LocationURL(), platform::WebBrowser::kErrorPageUrl);
    stop = false;
    browser.SetLoadTimeoutSeconds(1);
    EXPECT_EQ(load(silent.Url()), "timed out after 1 s");
}

}  // namespace
}  // namespace quill
