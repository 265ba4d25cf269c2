#include "lookahead/answer_store.h"

#include <algorithm>

namespace quill::lookahead {

Fetch* AnswerStore::Find(bool head, std::string_view url) {
    ByURL& fetches = For(head);
    const auto found = fetches.find(url);
    return found != fetches.end() ? found->second.get() : nullptr;
}

std::pair<Fetch*, bool> AnswerStore::FindOrAdd(bool head, std::string_view url) {
    if (Fetch* known = Find(head, url)) {
        return {known, false};
    }
    auto fetch = std::make_unique<Fetch>();
    fetch->head = head;
    fetch->url = std::string(url);
    Fetch* made = fetch.get();
    For(head).emplace(made->url, std::move(fetch));
    return {made, true};
}

void AnswerStore::Hold(Fetch& fetch, std::uint32_t walkRequests) {
    fetch.state = Fetch::State::kFinished;
    fetch.heldBytes = fetch.transfer ? Footprint(fetch.transfer->BodySize()) : 0;
    if (fetch.heldBytes > 0) {
        fetch.heldSince = walkRequests;
        held_.insert({fetch.priority, &fetch});
        unpacked_.insert({fetch.priority, &fetch});
        byAge_.insert({fetch.heldSince, &fetch});
        heldBytes_ += fetch.heldBytes;
    }
}

void AnswerStore::Pack(Fetch& fetch) {
    unpacked_.erase({fetch.priority, &fetch});
    fetch.packed = std::make_unique<const platform::PackedTransfer>(*fetch.transfer);
    fetch.transfer.reset();
    heldBytes_ -= fetch.heldBytes;
    fetch.heldBytes = fetch.packed->Bytes() + kPerPacked;
    heldBytes_ += fetch.heldBytes;
}

bool AnswerStore::SetAside(Fetch& fetch) {
    if (aside_ == nullptr) {
        return false;
    }
    if (!fetch.packed) {
        Pack(fetch);
    }
    const std::optional<platform::ScratchFile::Slot> slot = aside_->Put(fetch.packed->ToBytes());
    if (!slot) {
        return false;
    }
    Unhold(fetch);
    fetch.packed.reset();
    fetch.aside = *slot;
    return true;
}

std::shared_ptr<platform::Transfer> AnswerStore::Answer(Fetch& fetch) {
    if (fetch.state != Fetch::State::kFinished) {
        return nullptr;
    }
    if (fetch.transfer || fetch.packed) {
        return fetch.transfer ? fetch.transfer : fetch.packed->Unpack();
    }
    if (aside_ != nullptr && fetch.aside.size > 0) {
        if (const std::optional<std::string> bytes = aside_->Read(fetch.aside)) {
            if (const auto packed = platform::PackedTransfer::FromBytes(*bytes)) {
                return packed->Unpack();
            }
        }
    }
    fetch.droppedForRoom = true;
    Release(fetch);
    return nullptr;
}

void AnswerStore::Unhold(Fetch& fetch) {
    if (fetch.heldBytes > 0) {
        held_.erase({fetch.priority, &fetch});
        unpacked_.erase({fetch.priority, &fetch});
        byAge_.erase({fetch.heldSince, &fetch});
        heldBytes_ -= fetch.heldBytes;
        fetch.heldBytes = 0;
    }
}

void AnswerStore::Release(Fetch& fetch) {
    Unhold(fetch);
    fetch.transfer.reset();
    fetch.packed.reset();
    fetch.aside = {};
    fetch.state = Fetch::State::kReleased;
}

void AnswerStore::Forget(Fetch& fetch) {
    Release(fetch);
    For(fetch.head).erase(fetch.url);
}

void AnswerStore::Reorder(Fetch& fetch, const Priority& priority, std::uint32_t walkRequests) {
    if (fetch.heldBytes > 0 && held_.erase({fetch.priority, &fetch}) > 0) {
        held_.insert({priority, &fetch});
        if (unpacked_.erase({fetch.priority, &fetch}) > 0) {
            unpacked_.insert({priority, &fetch});
        }
        byAge_.erase({fetch.heldSince, &fetch});
        fetch.heldSince = walkRequests;
        byAge_.insert({fetch.heldSince, &fetch});
    }
}

void AnswerStore::WalkReached(const Priority& place) {
    if (place.band == Priority::kRehearsed) {
        rehearsedReached_ = std::max(rehearsedReached_, place.major);
    } else if (place.band == Priority::kWalkNow) {
        walkNowReached_ = std::min(walkNowReached_, place.major);
    }
}

bool AnswerStore::BehindWalk(const Priority& place) const {
    switch (place.band) {
        case Priority::kWalkNow:
            return place.major > walkNowReached_;
        case Priority::kRehearsed:
            return place.major < rehearsedReached_;
        default:
            return true;  // found ahead, never placed: its age alone tells
    }
}

std::vector<Fetch*> AnswerStore::MakeRoom(std::size_t arriving, const Priority& than,
                                          std::uint32_t walkRequests) {
    while (!Fits(arriving) && !unpacked_.empty()) {
        Pack(*std::prev(unpacked_.end())->second);
    }
    std::vector<Fetch*> gaveWay;
    while (!Fits(arriving) && !held_.empty()) {
        // An answer the walk has not used while it made twice as many requests as there are
        // answers held, and whose place the walk has gone past, is one it will not ask for (its
        // URL met first elsewhere, or a setting changed): however good its place, it goes first.
        // One still ahead of the walk was fetched early: it counts its time again from now.
        Fetch* oldest = byAge_.begin()->second;
        if (walkRequests - oldest->heldSince > 2 * held_.size() + kSlack) {
            if (!BehindWalk(oldest->priority)) {
                byAge_.erase(byAge_.begin());
                oldest->heldSince = walkRequests;
                byAge_.insert({oldest->heldSince, oldest});
                continue;
            }
            oldest->droppedForRoom = true;
            Release(*oldest);
            continue;
        }
        Fetch* worst = std::prev(held_.end())->second;
        if (!(than < worst->priority)) {
            break;
        }
        if (SetAside(*worst)) {
            continue;
        }
        worst->droppedForRoom = true;
        Release(*worst);
        gaveWay.push_back(worst);
    }
    return gaveWay;
}

void AnswerStore::Clear() {
    probes_.clear();
    pages_.clear();
    held_.clear();
    unpacked_.clear();
    byAge_.clear();
    heldBytes_ = 0;
    if (aside_ != nullptr) {
        aside_->Clear();
    }
    rehearsedReached_ = 0;
    walkNowReached_ = 0;
}

}  // namespace quill::lookahead
