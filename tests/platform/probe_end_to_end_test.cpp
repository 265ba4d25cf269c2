// The URL probe and the browser's page load over the real transfer control and engine against the
// loopback server: verdicts by status code, HEAD refused, rate limits, time-outs, Stop, reasons,
// and waits that end when the answer arrives.
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
            ++otherSleeps;
            return;
        }
        done.WaitFor(30000);
        endedByAnswer += done.Done() ? 1 : 0;
    }
    void PumpEvents() override {}

    std::function<void()> onSleep;
    int endedByAnswer = 0;
    int otherSleeps = 0;

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

struct AnswerCase {
    const char* name;
    const char* head;    // the status line HEAD gets
    const char* get;     // nullptr: no GET is sent; "": 200 with a body that never comes
    const char* reason;  // one ending in a blank goes on with the server's origin and "/new"
};

class AnswerTest : public ProbeEndToEndTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, TheStatusCodeJudgesWhateverVersionAndReasonPhrase) {
    const AnswerCase& c = GetParam();
    server_.ServeInTwoParts("/t", "application/pdf", "%PDF", "never sent");
    server_.ServeFor("HEAD", "/t", HttpResponse{c.head, {{"Location", "/new"}}, ""});
    if (c.get != nullptr && *c.get != '\0') {
        server_.ServeFor("GET", "/t", HttpResponse{c.get, {}, "x"});
    }
    EXPECT_EQ(Probe(server_.Url("/t")), std::string(c.reason) == "200 OK");
    const std::string reason = c.reason;
    EXPECT_EQ(URLChecker::LastProbeReason(),
              reason.back() == ' ' ? reason + server_.Url("/new") : reason);
    EXPECT_EQ(server_.RequestCount("HEAD", "/t"), 1);
    EXPECT_EQ(server_.RequestCount("GET", "/t"), c.get == nullptr ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    AsSent, AnswerTest,
    ::testing::Values(
        AnswerCase{"Http11Ok", "HTTP/1.1 200 OK", nullptr, "200 OK"},
        AnswerCase{"ReasonInOtherCase", "HTTP/1.1 200 Ok", nullptr, "200 OK"},
        AnswerCase{"OtherReason", "HTTP/1.1 200 Success", nullptr, "200 OK"},
        AnswerCase{"NoReason", "HTTP/1.1 200", nullptr, "200 OK"},
        AnswerCase{"Http2", "HTTP/2 200", nullptr, "200 OK"},
        AnswerCase{"Moved", "HTTP/1.1 301 Gone", nullptr, "301 Moved Permanently \u2192 "},
        AnswerCase{"NotFound", "HTTP/1.1 404 Nope", nullptr, "404 Not Found"},
        AnswerCase{"UnknownCode", "HTTP/1.1 299 Odd", nullptr, "299"},
        AnswerCase{"HeadNotAllowed", "HTTP/1.1 405 Method Not Allowed", "", "200 OK"},
        AnswerCase{"HeadNotImplemented", "HTTP/1.1 501 Not Implemented", "", "200 OK"},
        AnswerCase{"HeadRefusedGetNotFound", "HTTP/1.1 405 No", "HTTP/1.1 404 X", "404 Not Found"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProbeEndToEndTest, RateLimitThatClearsIsGoodAndOneThatStaysIsBroken) {
    const HttpResponse tooMany{"HTTP/1.1 429 Too Many Requests", {{"Retry-After", "2"}}, ""};
    const HttpResponse untilThen{
        "HTTP/1.1 429 Too Many Requests", {{"Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"}}, ""};
    server_.ServeInTurn("/clears", {untilThen, HttpResponse{}});
    server_.Serve("/stays", tooMany);
    EXPECT_TRUE(Probe(server_.Url("/clears")));
    EXPECT_EQ(server_.RequestCount("/clears"), 2);
    EXPECT_FALSE(Probe(server_.Url("/stays")));
    EXPECT_EQ(URLChecker::LastProbeReason(), "429 Too Many Requests after 3 retries");
    EXPECT_EQ(URLChecker::LastProbeStatus(), 429);
    EXPECT_EQ(server_.RequestCount("/stays"), 4);
    EXPECT_EQ(sleeper_.otherSleeps, 3 * 2) << "none for a date gone by, two seconds each";
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

TEST_F(ProbeEndToEndTest, WaitEndsWhenTheAnswerArrives) {
    server_.ServeWhenReleased("/held", HttpResponse{});
    sleeper_.onSleep = [this] { server_.Release("/held"); };
    EXPECT_TRUE(Probe(server_.Url("/held")));
    EXPECT_EQ(sleeper_.endedByAnswer, 1);
}

TEST_F(ProbeEndToEndTest, StopCancelsTheRequestInFlight) {
    server_.ServeNoReply("/hang");
    sleeper_.onSleep = [this] {
        ASSERT_TRUE(server_.WaitForRequest("/hang"));
        URLChecker::Stop();
    };
    EXPECT_FALSE(Probe(server_.Url("/hang")));
    EXPECT_EQ(URLChecker::LastProbeReason(), "stopped");
    EXPECT_EQ(sleeper_.endedByAnswer, 1);
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(0));

    EXPECT_FALSE(Probe(server_.Url("/other")));
    EXPECT_EQ(server_.RequestCount(), 1) << "no request after Stop";
}

// --- the browser's page load ---

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
