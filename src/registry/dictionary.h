// A map from exact string keys to items that lists its entries in insertion order. Adding a key
// that is present throws DuplicateKey and removing one that is absent throws MissingKey; in both
// cases the dictionary is left as it was.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quill {

class DuplicateKey : public std::invalid_argument {
  public:
    explicit DuplicateKey(const std::string& key) : std::invalid_argument("key present: " + key) {}
};

class MissingKey : public std::invalid_argument {
  public:
    explicit MissingKey(const std::string& key) : std::invalid_argument("key absent: " + key) {}
};

template <typename Item>
class Dictionary {
  public:
    struct Entry {
        std::string key;
        Item item;
        bool operator==(const Entry&) const = default;
    };
    using const_iterator = typename std::vector<Entry>::const_iterator;

    void Add(const std::string& key, Item item) {
        if (Contains(key)) {
            throw DuplicateKey(key);
        }
        entries_.push_back(Entry{key, std::move(item)});
        try {
            positions_.emplace(key, entries_.size() - 1);
        } catch (...) {
            entries_.pop_back();
            throw;
        }
    }

    // Keeps the order of the others; costs one step per entry added after the removed one.
    void Remove(const std::string& key) {
        auto found = positions_.find(key);
        if (found == positions_.end()) {
            throw MissingKey(key);
        }
        const std::size_t position = found->second;
        positions_.erase(found);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
        for (std::size_t i = position; i < entries_.size(); ++i) {
            positions_[entries_[i].key] = i;
        }
    }

    bool Contains(const std::string& key) const { return positions_.count(key) > 0; }

    // Throws MissingKey when the key is absent.
    const Item& At(const std::string& key) const {
        auto found = positions_.find(key);
        if (found == positions_.end()) {
            throw MissingKey(key);
        }
        return entries_[found->second].item;
    }

    int Count() const { return static_cast<int>(entries_.size()); }

    void Clear() {
        entries_.clear();
        positions_.clear();
    }

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    bool operator==(const Dictionary& other) const { return entries_ == other.entries_; }

  private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> positions_;
};

}  // namespace quill
