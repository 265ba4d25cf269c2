// Ctrl-C as the Stop button: the pump turns a pending request into one Start/Stop click, and only
// while the button offers Stop; a pending request cuts a sleep short.
#include "cli/interrupt.h"

#include <gtest/gtest.h>

namespace quill::cli {
namespace {

struct PumpHarness {
    InterruptRequests requests;
    bool offered = true;
    int clicks = 0;
    InterruptPump pump{requests, [this] { return offered; }};
    PumpHarness() {
        pump.SetStopEntry([this] { ++clicks; });
    }
};

TEST(InterruptPump, CtrlCClicksStopOnceAndOnlyWhenTheButtonReadsStop) {
    PumpHarness h;
    h.pump.PumpEvents();
    EXPECT_EQ(h.clicks, 0) << "nothing happens without Ctrl-C";
    h.offered = false;
    InterruptRequests::Raise();
    h.pump.PumpEvents();
    EXPECT_EQ(h.clicks, 0);
    EXPECT_FALSE(h.pump.Stopped());
    h.offered = true;
    h.pump.PumpEvents();
    h.pump.PumpEvents();
    EXPECT_EQ(h.clicks, 1);
    EXPECT_TRUE(h.pump.Stopped());
}

TEST(InterruptPump, RequestsBeforeTheRequestsObjectDoNotCount) {
    InterruptRequests::Raise();
    PumpHarness h;
    h.pump.PumpEvents();
    EXPECT_EQ(h.clicks, 0);
}

TEST(InterruptibleSleeper, PendingRequestSkipsTheSleep) {
    InterruptRequests requests;
    InterruptibleSleeper sleeper(requests);
    InterruptRequests::Raise();
    // Would block for an hour if the pending request were ignored.
    sleeper.Sleep(3600 * 1000);
    EXPECT_TRUE(requests.Pending());
}

}  // namespace
}  // namespace quill::cli

namespace quill::cli {
namespace {

bool InterruptBlockedHere() {
    sigset_t current;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &current);
    return sigismember(&current, SIGINT) == 1;
}

TEST(InterruptsHeldBack, BlocksCtrlCForItsLifetimeOnly) {
    ASSERT_FALSE(InterruptBlockedHere());
    {
        InterruptsHeldBack heldBack;
        EXPECT_TRUE(InterruptBlockedHere());
    }
    EXPECT_FALSE(InterruptBlockedHere());
}

}  // namespace
}  // namespace quill::cli
