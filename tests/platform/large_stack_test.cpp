// Work on the large stack: recursion far past the thread's own stack, exceptions that come out as
// they went in, and a nested call that stays on the stack it is on.
#include "platform/large_stack.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quill::platform {
namespace {

// Each level keeps a buffer live across the call, so the frames cannot be folded away.
[[gnu::noinline]] int Descend(int levels) {
    volatile char frame[256] = {};
    frame[levels % 256] = 1;
    return levels == 0 ? 0 : Descend(levels - 1) + frame[levels % 256];
}

TEST(LargeStack, RecursionFarPastAnOrdinaryStackReturns) {
    int result = -1;
    RunOnLargeStack([&] { result = Descend(200000); }, std::size_t{1} << 30);  // ~60 MB deep
    EXPECT_EQ(result, 200000);
}

TEST(LargeStack, ExceptionComesOutAndNestedCallsRunInPlace) {
    EXPECT_THROW(RunOnLargeStack([] { throw std::range_error("from below"); }), std::range_error);
    int depth = 0;
    RunOnLargeStack([&] {
        RunOnLargeStack([&] { depth = Descend(1000) + 1; });
        EXPECT_THROW(RunOnLargeStack([] { throw std::logic_error("inner"); }), std::logic_error);
    });
    EXPECT_EQ(depth, 1001);
}

}  // namespace
}  // namespace quill::platform
