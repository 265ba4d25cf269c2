// The URL probe through the real transfer control and engine against the loopback server: only a
// status line "HTTP/x.y 200 OK" makes a URL reachable.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/curl_transfer_engine.h"
#include "platform/transfer_control.h"
#include "probe/url_checker.h"
#include "support/loopback_http_server.h"
#include "support/recording_engine.h"

namespace quill {
namespace {

using platform::CurlTransferEngine;
using platform::EngineTransferControl;
using platform::RecordingEngine;
using test_support::HttpResponse;
using test_support::LoopbackHttpServer;

// Stands in for the one-second sleep: returns as soon as the request in flight has finished.
class WaitForRequestSleeper final : public platform::Sleeper {
  public:
    explicit WaitForRequestSleeper(RecordingEngine& engine) : engine_(engine) {}
    void Sleep(int) override {
        ++sleeps;
        engine_.WaitForLast();
    }
    int sleeps = 0;

  private:
    RecordingEngine& engine_;
};

class CountingPump final : public platform::EventPump {
  public:
    void PumpEvents() override { ++pumps; }
    int pumps = 0;
};

class ProbeEndToEndTest : public ::testing::Test {
  protected:
    ProbeEndToEndTest() {
        URLChecker::SetInetControl(std::make_shared<EngineTransferControl>(engine_));
    }
    ~ProbeEndToEndTest() override { URLChecker::SetInetControl(nullptr); }

    bool Probe(const std::string& url) { return URLChecker::IsURLReachable(url, sleeper_, pump_); }

    LoopbackHttpServer server_;
    CurlTransferEngine curl_;
    RecordingEngine engine_{curl_};
    WaitForRequestSleeper sleeper_{engine_};
    CountingPump pump_;
};

struct VerdictCase {
    const char* name;
    const char* statusLine;
    bool reachable;
};

class StatusLineVerdictTest : public ProbeEndToEndTest,
                              public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(StatusLineVerdictTest, OnlyOkAnswersAreReachable) {
    server_.Serve("/target", HttpResponse{GetParam().statusLine, {}, "body"});
    EXPECT_EQ(Probe(server_.Url("/target")), GetParam().reachable);
    EXPECT_EQ(server_.RequestCount("HEAD", "/target"), 1);
    EXPECT_EQ(server_.RequestCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    AsSent, StatusLineVerdictTest,
    ::testing::Values(VerdictCase{"Http11Ok", "HTTP/1.1 200 OK", true},
                      VerdictCase{"Http10Ok", "HTTP/1.0 200 OK", true},
                      VerdictCase{"ReasonInOtherCase", "HTTP/1.1 200 Ok", false},
                      VerdictCase{"Http2WithoutReason", "HTTP/2 200", false},
                      VerdictCase{"MovedPermanently", "HTTP/1.1 301 Moved Permanently", false},
                      VerdictCase{"NotFound", "HTTP/1.1 404 Not Found", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProbeEndToEndTest, RedirectToAGoodPageIsNotFollowed) {
    server_.ServeRedirect("/old", server_.Url("/new"));
    server_.ServePage("/new", "<p>new</p>");
    EXPECT_FALSE(Probe(server_.Url("/old")));
    EXPECT_EQ(server_.RequestCount("/new"), 0);
}

TEST_F(ProbeEndToEndTest, NoResponseIsUnreachable) {
    for (const char* url : {"", "mailto:x", "javascript:void(0)", "ftp://127.0.0.1/"}) {
        EXPECT_FALSE(Probe(url)) << url;
    }
    EXPECT_EQ(sleeper_.sleeps, 0) << "a URL that cannot be asked for needs no wait";
    server_.ServeClosedMidHeader("/cut");
    EXPECT_FALSE(Probe(server_.Url("/cut")));
}

TEST_F(ProbeEndToEndTest, EveryPollSleepsOnceAndPumpsThreeTimes) {
    server_.ServePage("/", "<p>home</p>");
    EXPECT_TRUE(Probe(server_.Url("/")));
    EXPECT_EQ(pump_.pumps, 3 * sleeper_.sleeps);
}

TEST_F(ProbeEndToEndTest, FileUrlsAreProbedOnlyWithFileAccess) {
    EXPECT_FALSE(Probe("file:///"));
    curl_.SetFileAccess(true);
    EXPECT_FALSE(Probe("file:///no/such/file.html"));
}

}  // namespace
}  // namespace quill
