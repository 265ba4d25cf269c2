// What a Transfer shows its readers as the engine fills it in: the last response's header block,
// no header for a response cut short, the first Finish winning, and waits that end.
#include "platform/transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quill::platform {
namespace {

const Transfer::TimePoint kStart{};

Transfer MakeTransfer() {
    TransferRequest request;
    request.url = "http://example.test/a";
    return Transfer(request);
}

TEST(TransferTest, BeforeAnyResponse) {
    Transfer transfer = MakeTransfer();
    EXPECT_FALSE(transfer.Finished());
    EXPECT_FALSE(transfer.HeadersReceived());
    EXPECT_EQ(transfer.Header(), "");
    EXPECT_EQ(transfer.Status(), 0);
    EXPECT_EQ(transfer.EffectiveURL(), "http://example.test/a");
    EXPECT_EQ(transfer.Duration(), std::chrono::steady_clock::duration::zero());
}

TEST(TransferTest, HeaderIsTheLastResponsesBlock) {
    Transfer transfer = MakeTransfer();
    transfer.BeginResponse("HTTP/1.1 301 Moved Permanently\r\n");
    transfer.AppendHeaderLine("Location: /b\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(301, "http://example.test/a", "", std::nullopt, false);
    EXPECT_FALSE(transfer.HeadersReceived());
    transfer.BeginResponse("HTTP/1.1 200 OK\r\n");
    transfer.AppendHeaderLine("Content-Length: 3\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(200, "http://example.test/b", "text/html", 3, true);
    transfer.AppendBody("abc", 3);
    transfer.Finish(kStart + std::chrono::seconds(2));

    EXPECT_TRUE(transfer.HeadersReceived());
    EXPECT_EQ(transfer.Header(), "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n");
    EXPECT_EQ(transfer.Status(), 200);
    EXPECT_EQ(transfer.EffectiveURL(), "http://example.test/b");
    EXPECT_EQ(transfer.Body(), "abc");
    EXPECT_EQ(transfer.Error(), "");
}

TEST(TransferTest, FailureBeforeTheHeaderEndsLeavesNoHeader) {
    Transfer transfer = MakeTransfer();
    transfer.BeginResponse("HTTP/1.1 200 OK\r\n");
    transfer.AppendHeaderLine("Content-Type: text/html\r\n");
    transfer.Finish(kStart, "connection closed");
    EXPECT_EQ(transfer.Header(), "");
    EXPECT_EQ(transfer.Status(), 0);
    EXPECT_EQ(transfer.Error(), "connection closed");
}

TEST(TransferTest, FailureAfterTheHeaderKeepsIt) {
    Transfer transfer = MakeTransfer();
    transfer.BeginResponse("HTTP/1.1 200 OK\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(200, "http://example.test/a", "", std::nullopt, true);
    transfer.Finish(kStart, "body cut short");
    EXPECT_EQ(transfer.Header(), "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(transfer.Status(), 200);
}

TEST(TransferTest, FirstFinishWins) {
    Transfer transfer = MakeTransfer();
    transfer.MarkStarted(kStart);
    transfer.Finish(kStart + std::chrono::seconds(1), "cancelled");
    transfer.Finish(kStart + std::chrono::seconds(5));
    EXPECT_EQ(transfer.Error(), "cancelled");
    EXPECT_EQ(transfer.Duration(), std::chrono::seconds(1));
}

TEST(TransferTest, CancelRunsTheEnginesHook) {
    Transfer transfer = MakeTransfer();
    int wakeUps = 0;
    transfer.SetCancelHook([&wakeUps] { ++wakeUps; });
    transfer.Cancel();
    EXPECT_TRUE(transfer.CancelRequested());
    EXPECT_EQ(wakeUps, 1);
    EXPECT_FALSE(transfer.Finished());  // the engine finishes it
}

TEST(TransferTest, WaitsEndWhenTheWriterGetsThere) {
    Transfer transfer = MakeTransfer();
    std::thread writer([&transfer] {
        transfer.BeginResponse("HTTP/1.1 200 OK\r\n");
        transfer.AppendHeaderLine("\r\n");
        transfer.EndHeaders(200, "http://example.test/a", "text/html", 4, true);
        transfer.AppendBody("ab", 2);
        transfer.AppendBody("cd", 2);
        transfer.Finish(std::chrono::steady_clock::now());
    });
    transfer.WaitHeadersOrFinished();
    EXPECT_TRUE(transfer.HeadersReceived());
    transfer.WaitBodyOrFinished(4);
    EXPECT_EQ(transfer.BodySize(), 4u);
    transfer.WaitFinished();
    EXPECT_TRUE(transfer.Finished());
    writer.join();
}

}  // namespace
}  // namespace quill::platform
