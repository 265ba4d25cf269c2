// The URL probe over a scripted transfer control: the order of its wait, sleeps that end on the
// request's completion, the waits a rate limit asks for, and Stop.
#include "probe/url_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quill::URLChecker {
namespace {

struct Answer {
    std::string header;
    int busyReadings = 0;  // StillExecuting says true this often first
};

// Control, sleeper and pump in one, logging every call. Each Execute takes the next answer; the
// last one repeats. A sleep that can end on the request's completion is logged as such.
class Script : public platform::TransferControl,
               public platform::Sleeper,
               public platform::EventPump {
  public:
    explicit Script(std::vector<Answer> answers) : answers_(std::move(answers)) {}
    void Execute(const std::string& url, const std::string& operation) override {
        log.push_back("Execute " + url + " " + operation);
        current_ = answers_[std::min(executed_++, answers_.size() - 1)];
        done_ = std::make_shared<platform::Completion>();
    }
    bool StillExecuting() override {
        log.push_back("Reading");
        return current_.busyReadings-- > 0;
    }
    std::string GetHeader() override { return current_.header; }
    std::shared_ptr<platform::Completion> RequestDone() override { return done_; }
    void Cancel() override { log.push_back("Cancel"); }
    void Sleep(int) override {}
    void SleepUntil(int milliseconds, platform::Completion& done) override {
        log.push_back((&done == done_.get() ? "SleepUntilAnswer " : "Sleep ") +
                      std::to_string(milliseconds));
    }
    void PumpEvents() override {
        log.push_back("Pump");
        if (++pumps == stopAtPump) {
            Stop();
        }
        if (dropControl) {
            SetInetControl(nullptr);
        }
    }
    long Count(const std::string& call) const { return std::count(log.begin(), log.end(), call); }

    std::vector<std::string> log;
    int pumps = 0;
    int stopAtPump = 0;
    bool dropControl = false;

  private:
    std::vector<Answer> answers_;
    std::size_t executed_ = 0;
    Answer current_;
    std::shared_ptr<platform::Completion> done_;
};

bool Probe(Script& script, const std::string& url = "http://site/") {
    return IsURLReachable(url, script, script);
}

std::shared_ptr<Script> Scripted(std::vector<Answer> answers) {
    auto script = std::make_shared<Script>(std::move(answers));
    SetInetControl(script);
    return script;
}

// The events pumped hand over another control (a new Start would): the probe keeps its own.
TEST(ProbeTest, ReadsAtOnceThenSleepsUntilTheAnswerAndPumpsThreeTimes) {
    const auto script = Scripted({{"HTTP/1.1 200 OK\r\n\r\n", 1}});
    script->dropControl = true;
    EXPECT_TRUE(Probe(*script));
    EXPECT_EQ(script->log, (std::vector<std::string>{"Execute http://site/ HEAD", "Reading",
                                                     "SleepUntilAnswer 1000", "Pump", "Pump",
                                                     "Pump", "Reading"}));
    EXPECT_EQ(LastProbeReason(), "200 OK");
    EXPECT_EQ(LastProbeStatus(), 200);
    EXPECT_FALSE(Probe(*script)) << "no control now";
}

Answer Limited(const std::string& retryAfter, const char* line = "HTTP/1.1 429 Slow down") {
    return {std::string(line) + "\r\n" +
            (retryAfter.empty() ? "" : "Retry-After: " + retryAfter + "\r\n") + "\r\n"};
}

struct RetryCase {
    const char* name;
    std::vector<Answer> answers;
    int requests;
    int waitedSeconds;
    const char* reason;
    int stopAtPump = 0;
};

class RetryTest : public testing::TestWithParam<RetryCase> {};

TEST_P(RetryTest, AsksAgainAfterTheWaitAskedFor) {
    const RetryCase& c = GetParam();
    const auto script = Scripted(c.answers);
    script->stopAtPump = c.stopAtPump;
    EXPECT_EQ(Probe(*script), std::string(c.reason) == "200 OK");
    EXPECT_EQ(script->Count("Reading"), c.requests);
    EXPECT_EQ(script->Count("Sleep 1000"), c.waitedSeconds);
    EXPECT_EQ(script->pumps, 3 * c.waitedSeconds);
    EXPECT_EQ(LastProbeReason(), c.reason);
}

const Answer kOk{"HTTP/1.1 200 OK\r\n\r\n"};
const Answer kNotFound{"HTTP/1.1 404 Nope\r\n\r\n"};
const Answer kHeadRefused{"HTTP/1.1 405 No\r\n\r\n"};

INSTANTIATE_TEST_SUITE_P(
    RateLimit, RetryTest,
    testing::Values(
        RetryCase{"Seconds", {Limited("2"), kOk}, 2, 2, "200 OK"},
        RetryCase{"NoRetryAfter", {Limited(""), kOk}, 2, 1, "200 OK"},
        RetryCase{"Unavailable", {Limited("1", "HTTP/1.1 503 Busy"), kOk}, 2, 1, "200 OK"},
        RetryCase{"LongWaitIsCut", {Limited("3600"), kOk}, 2, 60, "200 OK"},
        RetryCase{"PastDate", {Limited("Wed, 21 Oct 2015 07:28:00 GMT"), kOk}, 2, 0, "200 OK"},
        RetryCase{"FarDateIsCut", {Limited("Fri, 01 Jan 2100 00:00:00 GMT"), kOk}, 2, 60, "200 OK"},
        RetryCase{"NeverClears", {Limited("1")}, 4, 3, "429 Too Many Requests after 3 retries"},
        RetryCase{"StopInTheWait", {Limited("30")}, 1, 2, "stopped", 6},
        RetryCase{"HeadRefused", {kHeadRefused, Limited("1"), kNotFound}, 3, 1, "404 Not Found"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeTest, StopCancelsTheRequestAndNoneIsSentUntilTheNextStart) {
    const auto script = Scripted({{"HTTP/1.1 200 OK\r\n\r\n", 5}});
    script->stopAtPump = 1;
    EXPECT_FALSE(Probe(*script));
    EXPECT_EQ(LastProbeReason(), "stopped");
    EXPECT_EQ(script->Count("Cancel"), 1);
    EXPECT_EQ(script->Count("Reading"), 1) << "the wait ends at the pumps that brought Stop";

    EXPECT_FALSE(Probe(*script, "http://site/next"));
    EXPECT_EQ(script->Count("Execute http://site/next HEAD"), 0);
    EXPECT_TRUE(Probe(*Scripted({kOk}))) << "a new Start probes again";
}

}  // namespace
}  // namespace quill::URLChecker
