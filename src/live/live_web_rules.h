// The web rules the look-ahead imitates, on the real components: the requests of the transfer
// control and of our browser, libcurl's reading of hosts and dates, and our HTML document builder.
#pragma once

#include "lookahead/web_rules.h"

namespace quill {

class LiveWebRules final : public lookahead::WebRules {
  public:
    platform::TransferRequest ProbeRequest(const std::string& url) const override;
    platform::TransferRequest PageRequest(const std::string& url) const override;
    std::string HostOf(const std::string& url) const override;
    std::chrono::seconds RetryAfter(const platform::Transfer& answer) const override;
    std::shared_ptr<const platform::Document> ReadPage(const platform::Transfer& answer,
                                                       const std::string& pageURL) const override;
    bool ShowsPage(const platform::Transfer& answer, const std::string& pageURL) const override;
};

}  // namespace quill
