// A Transfer's end and its completion, and the reading of raw header blocks.
#include "platform/transfer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quill::platform {
namespace {

const Transfer::TimePoint kStart{};

TEST(TransferTest, FirstFinishWinsAndMarksItsCompletion) {
    Transfer transfer(TransferRequest{"http://example.test/a"});
    transfer.MarkStarted(kStart);
    const auto done = CompletionOf(transfer);
    EXPECT_FALSE(done->Done());
    transfer.Finish(kStart + std::chrono::seconds(1), "cancelled");
    transfer.Finish(kStart + std::chrono::seconds(5));
    EXPECT_TRUE(done->Done());
    EXPECT_EQ(transfer.Error(), "cancelled");
    EXPECT_EQ(transfer.Duration(), std::chrono::seconds(1));
    EXPECT_TRUE(CompletionOf(transfer)->Done()) << "at once for a finished transfer";
}

TEST(HeaderBlockTest, StatusCodeAndFields) {
    const struct {
        const char* block;
        int status;
        const char* retryAfter;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", 200, ""},
        {"HTTP/2 429\r\nretry-after:  7 \r\nRetry-After: 9\r\n\r\n", 429, "9"},
        {"HTTP/1.1 2000 Odd\r\n", 0, ""},
        {"http/1.1 200 OK\r\n", 0, ""},
        {"Retry-After: 3\r\n", 0, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatusCodeOf(c.block), c.status) << c.block;
        EXPECT_EQ(HeaderField(c.block, "Retry-After"), c.retryAfter) << c.block;
    }
    EXPECT_EQ(StatusText(404), "404 Not Found");
    EXPECT_EQ(StatusText(299), "299");
}

}  // namespace
}  // namespace quill::platform
