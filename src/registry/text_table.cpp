#include "registry/text_table.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quill {
namespace {

// Texts are packed into blocks of this size; a long text gets a block of its own.
constexpr std::size_t kBlockBytes = 64 * 1024;
constexpr std::size_t kFirstSlots = 64;

}  // namespace

TextTable::Id TextTable::Intern(std::string_view text) {
    if ((texts_.size() + 1) * 4 > slots_.size() * 3) {
        Grow();
    }
    const std::size_t slot = SlotOf(text);
    if (slots_[slot] != 0) {
        return slots_[slot] - 1;
    }
    texts_.push_back(Keep(text));
    slots_[slot] = static_cast<Id>(texts_.size());
    return static_cast<Id>(texts_.size() - 1);
}

std::optional<TextTable::Id> TextTable::Find(std::string_view text) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const Id found = slots_[SlotOf(text)];
    return found == 0 ? std::nullopt : std::optional<Id>(found - 1);
}

void TextTable::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    blockRoom_ = 0;
    blockEnd_ = nullptr;
    texts_ = {};
    slots_ = {};
}

// The slot that holds the text, or the free slot where it belongs.
std::size_t TextTable::SlotOf(std::string_view text) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(text)&mask;
    while (slots_[slot] != 0 && texts_[slots_[slot] - 1] != text) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

std::string_view TextTable::Keep(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > kBlockBytes / 8) {
        // The block being filled keeps taking short texts after this one.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
        std::memcpy(blocks_.back().get(), text.data(), text.size());
        return {blocks_.back().get(), text.size()};
    }
    if (text.size() > blockRoom_) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
        blockRoom_ = kBlockBytes;
        blockEnd_ = blocks_.back().get();
    }
    char* kept = blockEnd_;
    std::memcpy(kept, text.data(), text.size());
    blockEnd_ += text.size();
    blockRoom_ -= text.size();
    return {kept, text.size()};
}

void TextTable::Grow() {
    slots_.assign(std::max(kFirstSlots, slots_.size() * 2), 0);
    for (Id id = 0; id < texts_.size(); ++id) {
        slots_[SlotOf(texts_[id])] = id + 1;
    }
}

}  // namespace quill
