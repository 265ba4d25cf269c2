// The transfer control over the real engine, as the URL probe drives it: Execute starts a request
// and returns, StillExecuting follows it, GetHeader gives the last response's header block.
#include "platform/transfer_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/curl_transfer_engine.h"
#include "support/loopback_http_server.h"
#include "support/recording_engine.h"

namespace quill::platform {
namespace {

using ::testing::StartsWith;

class TransferControlTest : public ::testing::Test {
  protected:
    test_support::LoopbackHttpServer server_;
    CurlTransferEngine curl_;
    RecordingEngine engine_{curl_};
    EngineTransferControl control_{engine_};
};

TEST_F(TransferControlTest, HeadRequestWithTheControlsSettings) {
    server_.ServeFile("/logo.gif", "image/gif", "GIF89a");
    control_.Execute(server_.Url("/logo.gif"), "HEAD");
    const TransferRequest sent = engine_.LastRequest();
    EXPECT_EQ(sent.method, "HEAD");
    EXPECT_FALSE(sent.followRedirects);
    EXPECT_EQ(sent.timeoutSeconds, 60);

    engine_.WaitForLast();
    EXPECT_FALSE(control_.StillExecuting());
    EXPECT_EQ(control_.GetHeader(),
              "HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 6\r\n\r\n");
    EXPECT_EQ(server_.RequestCount("HEAD", "/logo.gif"), 1);
}

TEST_F(TransferControlTest, RedirectIsTheAnswer) {
    server_.ServeRedirect("/moved", server_.Url("/new"), 302);
    server_.ServePage("/new", "<p>new</p>");
    control_.Execute(server_.Url("/moved"), "HEAD");
    engine_.WaitForLast();
    EXPECT_THAT(control_.GetHeader(), StartsWith("HTTP/1.1 302 Found\r\n"));
    EXPECT_EQ(server_.RequestCount("/new"), 0);
}

TEST_F(TransferControlTest, StillExecutingWhileTheServerIsSilent) {
    server_.ServeNoReply("/silent");
    control_.Execute(server_.Url("/silent"), "HEAD");
    ASSERT_TRUE(server_.WaitForRequest("/silent"));
    EXPECT_TRUE(control_.StillExecuting());
    EXPECT_EQ(control_.GetHeader(), "");
}

TEST_F(TransferControlTest, NextExecuteAbandonsTheRequestStillRunning) {
    server_.ServeNoReply("/silent");
    server_.ServePage("/", "<p>home</p>");
    control_.Execute(server_.Url("/silent"), "HEAD");
    ASSERT_TRUE(server_.WaitForRequest("/silent"));

    control_.Execute(server_.Url("/"), "HEAD");
    engine_.WaitForLast();
    EXPECT_FALSE(control_.StillExecuting());
    EXPECT_THAT(control_.GetHeader(), StartsWith("HTTP/1.1 200 OK\r\n"));
    // The silent request's connection is given up; only the idle one may stay.
    EXPECT_TRUE(server_.WaitForOpenConnectionsAtMost(1));
}

// Each one follows a request that had a header, which must not show through.
TEST_F(TransferControlTest, UrlThatCannotBeRequestedEndsAtOnceWithoutHeader) {
    server_.ServePage("/", "<p>home</p>");
    for (const char* url : {"", "mailto:someone@example.test", "javascript:void(0)", "http://"}) {
        control_.Execute(server_.Url("/"), "HEAD");
        engine_.WaitForLast();
        ASSERT_NE(control_.GetHeader(), "");
        control_.Execute(url, "HEAD");
        EXPECT_FALSE(control_.StillExecuting()) << url;
        EXPECT_EQ(control_.GetHeader(), "") << url;
    }
}

}  // namespace
}  // namespace quill::platform
