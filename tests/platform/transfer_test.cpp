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

TEST(TransferTest, FailureKeepsTheHeaderOnlyWhenItWasWhole) {
    Transfer cutInHeader = MakeTransfer();
    cutInHeader.BeginResponse("HTTP/1.1 200 OK\r\n");
    cutInHeader.AppendHeaderLine("Content-Type: text/html\r\n");
    cutInHeader.Finish(kStart, "connection closed");
    EXPECT_EQ(cutInHeader.Header(), "");
    EXPECT_EQ(cutInHeader.Status(), 0);
    EXPECT_EQ(cutInHeader.Error(), "connection closed");

    Transfer cutInBody = MakeTransfer();
    cutInBody.BeginResponse("HTTP/1.1 200 OK\r\n");
    cutInBody.AppendHeaderLine("\r\n");
    cutInBody.EndHeaders(200, "http://example.test/a", "", std::nullopt, true);
    cutInBody.Finish(kStart, "body cut short");
    EXPECT_EQ(cutInBody.Header(), "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(cutInBody.Status(), 200);
}

TEST(TransferTest, FirstFinishWins) {
    Transfer transfer = MakeTransfer();
    transfer.MarkStarted(kStart);
    transfer.Finish(kStart + std::chrono::seconds(1), "cancelled");
    transfer.Finish(kStart + std::chrono::seconds(5));
    EXPECT_EQ(transfer.Error(), "cancelled");
    EXPECT_EQ(transfer.Duration(), std::chrono::seconds(1));
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
