// A map from exact string keys to items that lists its entries in insertion order. The keys are
// texts of a TextTable that several dictionaries share, so a key is stored once however many
// dictionaries hold it. Adding a key that is present throws DuplicateKey and removing one that is
// absent throws MissingKey; in both cases the dictionary is left as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/text_table.h"

namespace quill {

class DuplicateKey : public std::invalid_argument {
  public:
    explicit DuplicateKey(std::string_view key)
        : std::invalid_argument("key present: " + std::string(key)) {}
};

class MissingKey : public std::invalid_argument {
  public:
    explicit MissingKey(std::string_view key)
        : std::invalid_argument("key absent: " + std::string(key)) {}
};

template <typename Item>
class Dictionary {
    struct Stored {
        TextTable::Id key;
        Item item;
    };

  public:
    // What iteration yields: the key's text and a copy of its item.
    struct Entry {
        std::string_view key;
        Item item;
    };

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Entry;

        const_iterator() = default;
        const_iterator(const TextTable* keys, typename std::vector<Stored>::const_iterator at)
            : keys_(keys), at_(at) {}
        Entry operator*() const { return Entry{keys_->Text(at_->key), at_->item}; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++at_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }

      private:
        const TextTable* keys_ = nullptr;
        typename std::vector<Stored>::const_iterator at_;
    };

    // The keys are ids of texts in keys, which outlives the dictionary.
    explicit Dictionary(const TextTable& keys) : keys_(&keys) {}

    void Add(TextTable::Id key, Item item) {
        if (Contains(key)) {
            throw DuplicateKey(keys_->Text(key));
        }
        if (key >= positions_.size()) {
            positions_.resize(key + 1, 0);
        }
        entries_.push_back(Stored{key, std::move(item)});
        positions_[key] = static_cast<std::uint32_t>(entries_.size());
    }

    // Keeps the order of the others; costs one step per entry added after the removed one.
    void Remove(std::string_view key) {
        const std::optional<TextTable::Id> id = keys_->Find(key);
        if (!id || !Contains(*id)) {
            throw MissingKey(key);
        }
        const std::size_t position = positions_[*id] - 1;
        positions_[*id] = 0;
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
        for (std::size_t i = position; i < entries_.size(); ++i) {
            positions_[entries_[i].key] = static_cast<std::uint32_t>(i + 1);
        }
    }

    bool Contains(TextTable::Id key) const {
        return key < positions_.size() && positions_[key] != 0;
    }
    bool Contains(std::string_view key) const {
        const std::optional<TextTable::Id> id = keys_->Find(key);
        return id && Contains(*id);
    }

    // Throws MissingKey when the key is absent.
    const Item& At(TextTable::Id key) const {
        if (!Contains(key)) {
            throw MissingKey(keys_->Text(key));
        }
        return entries_[positions_[key] - 1].item;
    }
    const Item& At(std::string_view key) const {
        const std::optional<TextTable::Id> id = keys_->Find(key);
        if (!id) {
            throw MissingKey(key);
        }
        return At(*id);
    }

    int Count() const { return static_cast<int>(entries_.size()); }

    void Clear() {
        entries_ = {};
        positions_ = {};
    }

    const_iterator begin() const { return {keys_, entries_.begin()}; }
    const_iterator end() const { return {keys_, entries_.end()}; }

  private:
    const TextTable* keys_;
    std::vector<Stored> entries_;
    // By key id: the entry's position + 1, or 0 for a key the dictionary does not hold.
    std::vector<std::uint32_t> positions_;
};

}  // namespace quill
