// The URL probe over a scripted transfer control: its wait ends on the request's completion, a
// rate limit's wait, HEAD refused, and Stop.
#include "probe/url_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quill::URLChecker {
namespace {

struct Answer {  // StillExecuting says true `busyReadings` times first
    std::string header;
    int busyReadings = 0;
};

// Control, sleeper and pump in one, counting the calls. Each Execute takes the next answer (the
// last one repeats).
class Script : public platform::TransferControl,
               public platform::Sleeper,
               public platform::EventPump {
  public:
    explicit Script(std::vector<Answer> answers) : answers_(std::move(answers)) {}
    void Execute(const std::string& url, const std::string& operation) override {
        asked.push_back(operation + " " + url);
        current_ = answers_[std::min(asked.size(), answers_.size()) - 1];
        done_ = std::make_shared<platform::Completion>();
    }
    bool StillExecuting() override { return ++readings, current_.busyReadings-- > 0; }
    std::string GetHeader() override { return current_.header; }
    std::shared_ptr<platform::Completion> RequestDone() override { return done_; }
    void Cancel() override { ++cancels; }
    void Sleep(int) override {}
    void SleepUntil(int milliseconds, platform::Completion& done) override {
        (&done == done_.get() ? answerWaits : seconds) += milliseconds / 1000;
    }
    void PumpEvents() override {
        if (++pumps == stopAtPump) {
            Stop();
        }
        if (dropControl) {
            SetInetControl(nullptr);
        }
    }

    bool Probe(const std::string& url = "http://site/") {
        return IsURLReachable(url, *this, *this);
    }

    std::vector<std::string> asked;
    int readings = 0, cancels = 0, answerWaits = 0, seconds = 0, pumps = 0, stopAtPump = 0;
    bool dropControl = false;

  private:
    std::vector<Answer> answers_;
    Answer current_{};
    std::shared_ptr<platform::Completion> done_;
};

std::shared_ptr<Script> Scripted(std::vector<Answer> answers) {
    auto script = std::make_shared<Script>(std::move(answers));
    SetInetControl(script);
    return script;
}

// The events pumped hand over another control (a new Start would): the probe keeps its own.
TEST(ProbeTest, SleepsUntilTheAnswerAndStopCancelsTheRequest) {
    const auto script = Scripted({{"HTTP/1.1 200 OK\r\n\r\n", 1}});
    script->dropControl = true;
    EXPECT_TRUE(script->Probe());
    EXPECT_EQ(script->asked, std::vector<std::string>{"HEAD http://site/"});
    EXPECT_EQ(script->answerWaits, 1);
    EXPECT_EQ(script->pumps, 3);
    EXPECT_EQ(LastProbeReason(), "200 OK");
    EXPECT_EQ(LastProbeStatus(), 200);
    EXPECT_FALSE(script->Probe()) << "no control now";

    const auto stopped = Scripted({{"HTTP/1.1 200 OK\r\n\r\n", 5}});
    stopped->stopAtPump = 1;
    EXPECT_FALSE(stopped->Probe());
    EXPECT_EQ(LastProbeReason(), "stopped");
    EXPECT_EQ(stopped->cancels, 1);
    EXPECT_EQ(stopped->readings, 1) << "the wait ends at the pumps that brought Stop";
    EXPECT_FALSE(stopped->Probe("http://site/next"));
    EXPECT_EQ(stopped->asked.size(), 1u) << "none is sent until the next Start";
    EXPECT_TRUE(Scripted({{"HTTP/1.1 200 OK\r\n\r\n"}})->Probe()) << "a new Start probes again";
}

Answer Limited(const std::string& retryAfter, const char* line = "HTTP/1.1 429 Slow down") {
    return {std::string(line) + "\r\n" +
            (retryAfter.empty() ? "" : "Retry-After: " + retryAfter + "\r\n") + "\r\n"};
}

TEST(ProbeTest, RateLimitIsAskedAgainAfterTheWaitAskedFor) {
    const Answer ok{"HTTP/1.1 200 OK\r\n\r\n"}, refused{"HTTP/1.1 405 No\r\n\r\n"};
    const struct {
        std::vector<Answer> answers;
        int requests, waitedSeconds;
        const char* reason;
        int stopAtPump = 0;
    } cases[] = {
        {{Limited("2"), ok}, 2, 2, "200 OK"},
        {{Limited(""), ok}, 2, 1, "200 OK"},
        {{Limited("1", "HTTP/1.1 503 Busy"), ok}, 2, 1, "200 OK"},
        {{Limited("Fri, 01 Jan 2100 00:00:00 GMT"), ok}, 2, 60, "200 OK"},
        {{Limited("Wed, 21 Oct 2015 07:28:00 GMT"), ok}, 2, 0, "200 OK"},
        {{Limited("1")}, 4, 3, "429 Too Many Requests after 3 retries"},
        {{Limited("30")}, 1, 2, "stopped", 6},
        {{refused, Limited("1"), Limited("", "HTTP/1.1 404 Nope")}, 3, 1, "404 Not Found"}};
    for (const auto& c : cases) {
        const auto script = Scripted(c.answers);
        script->stopAtPump = c.stopAtPump;
        SCOPED_TRACE(c.answers[0].header);
        EXPECT_EQ(script->Probe(), std::string(c.reason) == "200 OK");
        EXPECT_EQ(script->readings, c.requests);
        EXPECT_EQ(script->seconds, c.waitedSeconds);
        EXPECT_EQ(script->pumps, 3 * c.waitedSeconds);
        EXPECT_EQ(LastProbeReason(), c.reason);
    }
}

}  // namespace
}  // namespace quill::URLChecker
