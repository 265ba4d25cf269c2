// Hands the look-ahead's answers to the walk's requests: at once when the answer is here, through
// a stand-in transfer that ends with it when it is on its way. Keeps, for the walk's load times,
// what answered the requests the walk made since its last mark.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "lookahead/fetch.h"
#include "platform/transfer.h"
#include "platform/transfer_engine.h"

namespace quill::lookahead {

// A walk request that joined a fetch on its way.
struct Relay {
    platform::TransferRequest request;
    // What the walk holds, and the walk's own request when the fetch's answer may not stand for
    // it: both let go once it is done.
    std::shared_ptr<platform::Transfer> out;
    std::shared_ptr<platform::Transfer> own;
    // What the fetch's answer took, when it answered the request.
    std::optional<std::chrono::steady_clock::duration> servedIn;
    bool done = false;
};

// Whether the look-ahead's answer stands for the walk's request: any answer the walk would have
// got itself (a status, a redirect, a failure, a time-out), unless the look-ahead cancelled it, it
// ended with neither a response nor a failure, or it took longer than the walk's request, with a
// shorter time-out, may.
bool AnswerServes(const platform::Transfer& answer, const platform::TransferRequest& asked);

class AnswerRelay {
  public:
    // Called, from any thread, with a stand-in the walk cancelled or with a finished own request.
    using Post = std::function<void(std::shared_ptr<platform::Transfer>)>;

    explicit AnswerRelay(Post post) : post_(std::move(post)) {}

    // The walk's request is answered by the fetch's finished answer.
    void Served(const std::shared_ptr<platform::Transfer>& answer);
    // The walk's request joins the fetch on its way; the walk gets the stand-in.
    std::shared_ptr<platform::Transfer> Join(Fetch& fetch, platform::TransferRequest request);
    // The walk's request goes to the network itself.
    void Own();

    // The fetch has ended: each request joined to it ends with its answer, or sends its own.
    // Returns how many it answered.
    int Resolve(Fetch& fetch, platform::TransferEngine& network);
    // A posted transfer: a joined request's own answer (which then ends its stand-in) or a
    // stand-in the walk cancelled. False for anything else.
    bool TakePosted(const std::shared_ptr<platform::Transfer>& transfer);
    // Ends every stand-in as cancelled; for the end of a run.
    void CancelAll();

    std::uint64_t Mark();
    // When every request since the mark was answered by the look-ahead: the whole seconds its
    // answers took.
    std::optional<int> ServedSeconds(std::uint64_t mark);

  private:
    // What the answer took, or the request joined to a fetch; neither for a request of the
    // walk's own. Never the answer itself, which may be a big page.
    struct Measured {
        std::optional<std::chrono::steady_clock::duration> served;
        std::shared_ptr<Relay> relay;
    };
    void Note(Measured measured);
    // The stand-in ends as a copy of the answer.
    void Finish(Relay& relay, const platform::Transfer& answer);
    void Done(Relay& relay);

    const Post post_;
    std::unordered_map<const platform::Transfer*, std::shared_ptr<Relay>> byOut_;
    std::unordered_map<const platform::Transfer*, std::shared_ptr<Relay>> byOwn_;
    // The requests joined to each fetch on its way.
    std::unordered_map<const Fetch*, std::vector<std::shared_ptr<Relay>>> joined_;
    bool measuring_ = false;
    std::uint64_t mark_ = 0;
    std::vector<Measured> measured_;
};

}  // namespace quill::lookahead
