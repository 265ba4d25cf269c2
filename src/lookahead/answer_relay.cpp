#include "lookahead/answer_relay.h"

#include <chrono>

namespace quill::lookahead {

using platform::Transfer;

bool AnswerServes(const Transfer& answer, const platform::TransferRequest& asked) {
    if (!answer.Finished() || answer.CancelRequested()) {
        return false;
    }
    // Neither a response nor a failure is no answer at all: the walk asks for itself.
    if (!answer.HeadersReceived() && answer.Error().empty()) {
        return false;
    }
    // A request with the same time-out or a shorter one, timed out or not, is the walk's answer.
    const long sent = answer.Request().timeoutSeconds;
    return asked.timeoutSeconds <= 0 || (sent > 0 && sent <= asked.timeoutSeconds) ||
           answer.Duration() <= std::chrono::seconds(asked.timeoutSeconds);
}

void AnswerRelay::Served(const std::shared_ptr<Transfer>& answer) {
    Note(Measured{answer->Duration(), nullptr});
}

std::shared_ptr<Transfer> AnswerRelay::Join(Fetch& fetch, platform::TransferRequest request) {
    auto relay = std::make_shared<Relay>();
    relay->out = std::make_shared<Transfer>(request);
    relay->request = std::move(request);
    relay->out->MarkStarted(std::chrono::steady_clock::now());
    std::weak_ptr<Transfer> weakOut = relay->out;
    relay->out->SetCancelHook([post = post_, weakOut] {
        if (std::shared_ptr<Transfer> out = weakOut.lock()) {
            out->Finish(std::chrono::steady_clock::now(), "cancelled");
            post(out);
        }
    });
    joined_[&fetch].push_back(relay);
    byOut_[relay->out.get()] = relay;
    Note(Measured{std::nullopt, relay});
    return relay->out;
}

void AnswerRelay::Own() {
    Note(Measured{});
}

void AnswerRelay::Note(Measured measured) {
    if (measuring_) {
        measured_.push_back(std::move(measured));
    }
}

void AnswerRelay::Finish(Relay& relay, const Transfer& answer) {
    relay.out->SetCancelHook(nullptr);
    relay.out->FinishAsCopyOf(answer);
    Done(relay);
}

void AnswerRelay::Done(Relay& relay) {
    relay.done = true;
    byOut_.erase(relay.out.get());
    relay.out.reset();
    relay.own.reset();
}

int AnswerRelay::Resolve(Fetch& fetch, platform::TransferEngine& network) {
    const auto found = joined_.find(&fetch);
    if (found == joined_.end()) {
        return 0;
    }
    const std::vector<std::shared_ptr<Relay>> joined = std::move(found->second);
    joined_.erase(found);
    int answered = 0;
    for (const std::shared_ptr<Relay>& relay : joined) {
        if (relay->done || relay->out->Finished()) {
            Done(*relay);
            continue;
        }
        if (fetch.transfer && AnswerServes(*fetch.transfer, relay->request)) {
            relay->servedIn = fetch.transfer->Duration();
            Finish(*relay, *fetch.transfer);
            ++answered;
            continue;
        }
        relay->own = network.Start(relay->request);
        byOwn_[relay->own.get()] = relay;
        std::weak_ptr<Transfer> weak = relay->own;
        relay->own->WhenFinished([post = post_, weak] {
            if (std::shared_ptr<Transfer> finished = weak.lock()) {
                post(finished);
            }
        });
    }
    return answered;
}

bool AnswerRelay::TakePosted(const std::shared_ptr<Transfer>& transfer) {
    if (const auto own = byOwn_.find(transfer.get()); own != byOwn_.end()) {
        const std::shared_ptr<Relay> relay = own->second;
        byOwn_.erase(own);
        Finish(*relay, *transfer);
        return true;
    }
    if (const auto out = byOut_.find(transfer.get()); out != byOut_.end()) {
        // The walk let go of a joined request: its own request is not needed.
        const std::shared_ptr<Relay> relay = out->second;
        if (relay->own) {
            byOwn_.erase(relay->own.get());
            relay->own->Cancel();
        }
        Done(*relay);
        return true;
    }
    return false;
}

void AnswerRelay::CancelAll() {
    const auto now = std::chrono::steady_clock::now();
    for (auto& [out, relay] : byOut_) {
        relay->out->SetCancelHook(nullptr);
        relay->out->Finish(now, "cancelled");
        relay->done = true;
        if (relay->own) {
            relay->own->Cancel();
        }
    }
    byOut_.clear();
    byOwn_.clear();
    joined_.clear();
    measuring_ = false;
    measured_.clear();
}

std::uint64_t AnswerRelay::Mark() {
    measuring_ = true;
    measured_.clear();
    return ++mark_;
}

std::optional<int> AnswerRelay::ServedSeconds(std::uint64_t mark) {
    if (!measuring_ || mark != mark_) {
        return std::nullopt;
    }
    measuring_ = false;
    std::vector<Measured> requests;
    requests.swap(measured_);
    if (requests.empty()) {
        return std::nullopt;
    }
    std::chrono::steady_clock::duration total{};
    for (const Measured& request : requests) {
        const std::optional<std::chrono::steady_clock::duration> served =
            request.relay ? (request.relay->done ? request.relay->servedIn : std::nullopt)
                          : request.served;
        if (!served) {
            return std::nullopt;  // the walk waited for a request of its own
        }
        total += *served;
    }
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(total).count());
}

}  // namespace quill::lookahead
