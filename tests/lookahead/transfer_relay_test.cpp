// What the look-ahead needs of the transfer layer: a transfer that tells when it has finished and
// one that can stand in for another, and an engine that keeps to a number of connections.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/curl_transfer_engine.h"
#include "platform/transfer.h"
#include "support/loopback_http_server.h"

namespace quill::platform {
namespace {

using test_support::LoopbackHttpServer;
using testing::ElementsAre;

constexpr Transfer::TimePoint kStart{std::chrono::seconds(100)};

std::shared_ptr<Transfer> AnsweredGet(const std::string& url) {
    TransferRequest request;
    request.url = url;
    auto transfer = std::make_shared<Transfer>(request);
    transfer->MarkStarted(kStart);
    transfer->BeginResponse("HTTP/1.1 200 OK\r\n");
    transfer->AppendHeaderLine("Content-Type: text/html\r\n");
    transfer->AppendHeaderLine("\r\n");
    transfer->EndHeaders(200, url + "?final", "text/html", 5, true);
    transfer->AppendBody("<p>hi", 5);
    transfer->Finish(kStart + std::chrono::milliseconds(2500));
    return transfer;
}

TEST(TransferWhenFinished, RunsOnceWhenTheRequestFinishes) {
    Transfer transfer(TransferRequest{});
    std::vector<std::string> calls;
    transfer.WhenFinished([&] { calls.push_back(transfer.Finished() ? "finished" : "running"); });
    EXPECT_THAT(calls, testing::IsEmpty());
    transfer.Finish(kStart, "cancelled");
    transfer.Finish(kStart, "again");
    EXPECT_THAT(calls, ElementsAre("finished"));
}

TEST(TransferWhenFinished, RunsAtOnceForAFinishedRequest) {
    const auto transfer = AnsweredGet("http://site/a.html");
    int calls = 0;
    transfer->WhenFinished([&] { ++calls; });
    EXPECT_EQ(calls, 1);
}

TEST(TransferFinishAsCopyOf, TakesOverTheWholeOutcome) {
    const auto source = AnsweredGet("http://site/a.html");
    TransferRequest request;
    request.url = "http://site/a.html";
    request.followRedirects = true;
    Transfer standIn(request);
    standIn.MarkStarted(kStart + std::chrono::seconds(1));
    int calls = 0;
    standIn.WhenFinished([&] { ++calls; });
    standIn.FinishAsCopyOf(*source);

    EXPECT_TRUE(standIn.Finished());
    EXPECT_TRUE(standIn.HeadersReceived());
    EXPECT_EQ(standIn.Header(), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n");
    EXPECT_EQ(standIn.Status(), 200);
    EXPECT_EQ(standIn.EffectiveURL(), "http://site/a.html?final");
    EXPECT_EQ(standIn.ContentType(), "text/html");
    EXPECT_EQ(standIn.ContentLength(), 5);
    EXPECT_EQ(standIn.Body(), "<p>hi");
    EXPECT_EQ(standIn.Error(), "");
    EXPECT_EQ(standIn.Duration(), std::chrono::milliseconds(2500));  // the source's own
    EXPECT_TRUE(standIn.Request().followRedirects);                  // its own request
    EXPECT_EQ(calls, 1);
}

TEST(TransferFinishAsCopyOf, CopiesAFailureWithoutResponse) {
    Transfer source(TransferRequest{});
    source.MarkStarted(kStart);
    source.Finish(kStart, "Couldn't connect to server");
    Transfer standIn(TransferRequest{});
    standIn.FinishAsCopyOf(source);
    EXPECT_TRUE(standIn.Finished());
    EXPECT_FALSE(standIn.HeadersReceived());
    EXPECT_EQ(standIn.Header(), "");
    EXPECT_EQ(standIn.Error(), "Couldn't connect to server");
}

TEST(TransferFinishAsCopyOf, LeavesAFinishedTransferAlone) {
    const auto source = AnsweredGet("http://site/a.html");
    Transfer standIn(TransferRequest{});
    standIn.Finish(kStart, "cancelled");
    standIn.FinishAsCopyOf(*source);
    EXPECT_EQ(standIn.Error(), "cancelled");
    EXPECT_EQ(standIn.Body(), "");
}

// --- connection limits -----------------------------------------------------------------------

// Starts `count` requests to paths held open until all have been asked for, then lets them go.
std::vector<std::shared_ptr<Transfer>> HeldRequests(CurlTransferEngine& engine,
                                                    LoopbackHttpServer& server, int count) {
    std::vector<std::shared_ptr<Transfer>> transfers;
    for (int i = 0; i < count; ++i) {
        const std::string path = "/held/" + std::to_string(i);
        server.ServeInTwoParts(path, "text/plain", "part ", std::to_string(i));
        TransferRequest request;
        request.url = server.Url(path);
        transfers.push_back(engine.Start(request));
    }
    return transfers;
}

void ReleaseAndWait(LoopbackHttpServer& server, std::vector<std::shared_ptr<Transfer>>& transfers) {
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        server.Release("/held/" + std::to_string(i));
    }
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        transfers[i]->WaitFinished();
        EXPECT_EQ(transfers[i]->Body(), "part " + std::to_string(i));
    }
}

struct LimitCase {
    const char* name;
    int total;    // 0: no limit
    int perHost;  // 0: no limit
    int connections;
};

class EngineConnectionLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(EngineConnectionLimits, SixRequestsShareTheConnectionsAllowed) {
    LoopbackHttpServer server;
    CurlTransferEngine engine;
    engine.SetConnectionLimits(GetParam().total, GetParam().perHost);
    auto transfers = HeldRequests(engine, server, 6);
    ASSERT_TRUE(server.WaitForRequests(GetParam().connections));
    ReleaseAndWait(server, transfers);
    EXPECT_EQ(server.RequestCount(), 6);
    EXPECT_LE(server.ConnectionCount(), GetParam().connections);
}

INSTANTIATE_TEST_SUITE_P(Limits, EngineConnectionLimits,
                         testing::Values(LimitCase{"PerHost", 0, 2, 2}, LimitCase{"Total", 2, 0, 2},
                                         LimitCase{"None", 0, 0, 6}),
                         [](const testing::TestParamInfo<LimitCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quill::platform
