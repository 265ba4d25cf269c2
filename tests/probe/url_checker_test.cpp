// The URL probe: the exact order of the wait (Execute, readings of StillExecuting, one-second
// sleeps each followed by three pumps, GetHeader) and the "200 OK" status-line pattern.
#include "probe/url_checker.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill::URLChecker {
namespace {

using CallLog = std::vector<std::string>;

// Answers StillExecuting with true for the given number of readings, then false.
class FakeTransferControl : public platform::TransferControl {
  public:
    FakeTransferControl(CallLog& log, int busyReadings, std::string header)
        : log_(log), busyReadings_(busyReadings), header_(std::move(header)) {}

    void Execute(const std::string& url, const std::string& operation) override {
        log_.push_back("Execute(" + url + "," + operation + ")");
    }
    bool StillExecuting() override {
        log_.push_back("StillExecuting");
        return busyReadings_-- > 0;
    }
    std::string GetHeader() override {
        log_.push_back("GetHeader");
        return header_;
    }

  private:
    CallLog& log_;
    int busyReadings_;
    std::string header_;
};

// Records each one-second sleep and each event pump in the same log as the transfer.
class FakeWaiting : public platform::Sleeper, public platform::EventPump {
  public:
    explicit FakeWaiting(CallLog& log) : log_(log) {}
    void Sleep(int milliseconds) override {
        log_.push_back("Sleep(" + std::to_string(milliseconds) + ")");
    }
    void PumpEvents() override {
        log_.push_back("Pump");
        if (onPump) {
            onPump();
        }
    }
    std::function<void()> onPump;

  private:
    CallLog& log_;
};

CallLog ExpectedCalls(const std::string& url, int busyReadings) {
    CallLog calls = {"Execute(" + url + ",HEAD)", "StillExecuting"};
    for (int i = 0; i < busyReadings; ++i) {
        calls.insert(calls.end(), {"Sleep(1000)", "Pump", "Pump", "Pump", "StillExecuting"});
    }
    calls.push_back("GetHeader");
    return calls;
}

const char* const kOkHeader = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n";

struct ProbeCase {
    const char* name;
    const char* url;
    int busyReadings;
    const char* header;
    bool reachable;
};

class Probe : public testing::TestWithParam<ProbeCase> {
  protected:
    void TearDown() override { SetInetControl(nullptr); }
    CallLog log;
    FakeWaiting waiting{log};
};

TEST_P(Probe, WaitsInOrderAndJudgesTheHeader) {
    const ProbeCase& c = GetParam();
    SetInetControl(std::make_shared<FakeTransferControl>(log, c.busyReadings, c.header));
    EXPECT_EQ(IsURLReachable(c.url, waiting, waiting), c.reachable);
    EXPECT_EQ(log, ExpectedCalls(c.url, c.busyReadings));
}

INSTANTIATE_TEST_SUITE_P(
    UrlProbe, Probe,
    testing::Values(
        ProbeCase{"DoneBeforeFirstReadingNeverSleeps", "http://site/", 0, kOkHeader, true},
        ProbeCase{"OneSecondOfWaiting", "http://site/", 1, kOkHeader, true},
        ProbeCase{"ThreeSecondsOfWaiting", "http://site/a.gif", 3, kOkHeader, true},
        ProbeCase{"NotFound", "http://site/none", 1, "HTTP/1.1 404 Not Found\r\n\r\n", false},
        ProbeCase{"NoResponseAfterTimeOut", "http://10.0.0.1/", 60, "", false},
        ProbeCase{"EmptyUrl", "", 0, "", false}, ProbeCase{"SchemeOnly", "http://", 0, "", false},
        ProbeCase{"Mailto", "mailto:x", 0, "", false},
        ProbeCase{"Javascript", "javascript:void(0)", 0, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Probe, WithoutAControlIsFalseAndTouchesNothing) {
    SetInetControl(nullptr);
    EXPECT_FALSE(IsURLReachable("http://site/", waiting, waiting));
    EXPECT_TRUE(log.empty());
}

TEST_F(Probe, KeepsPollingItsControlWhenEventsHandOverAnother) {
    CallLog otherLog;
    SetInetControl(std::make_shared<FakeTransferControl>(log, 1, kOkHeader));
    waiting.onPump = [&] {
        SetInetControl(std::make_shared<FakeTransferControl>(otherLog, 0, ""));
    };
    EXPECT_TRUE(IsURLReachable("http://site/", waiting, waiting));
    EXPECT_EQ(log, ExpectedCalls("http://site/", 1));
    EXPECT_TRUE(otherLog.empty());
}

struct StatusLineCase {
    const char* name;
    const char* header;
    bool ok;
};

class StatusLine : public testing::TestWithParam<StatusLineCase> {};

TEST_P(StatusLine, Matches) {
    EXPECT_EQ(MatchesOkStatusLine(GetParam().header), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(
    UrlProbe, StatusLine,
    testing::Values(StatusLineCase{"Http11Ok", "HTTP/1.1 200 OK", true},
                    StatusLineCase{"WholeHeaderBlock", kOkHeader, true},
                    StatusLineCase{"AnyVersionCharacters", "HTTP/x.y 200 OK", true},
                    StatusLineCase{"ReasonStartingWithOk", "HTTP/1.1 200 OKAY", true},
                    StatusLineCase{"ReasonInOtherCase", "HTTP/1.1 200 Ok", false},
                    StatusLineCase{"LowerCaseProtocol", "http/1.1 200 OK", false},
                    StatusLineCase{"Http2Ok", "HTTP/2 200 OK", false},
                    StatusLineCase{"LongVersion", "HTTP/1.10 200 OK", false},
                    StatusLineCase{"Moved", "HTTP/1.1 301 Moved Permanently", false},
                    StatusLineCase{"NoReason", "HTTP/1.1 200", false},
                    StatusLineCase{"CutShort", "HTTP/1.1 200 O", false},
                    StatusLineCase{"TwoSpaces", "HTTP/1.1  200 OK", false},
                    StatusLineCase{"LeadingBlank", " HTTP/1.1 200 OK", false},
                    StatusLineCase{"OkFurtherDown", "HTTP/1.1 302 Found\r\nX: HTTP/1.1 200 OK",
                                   false},
                    StatusLineCase{"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quill::URLChecker
