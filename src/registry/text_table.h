// Texts kept once each and named by small ids, for records that refer to the same URL or sentence
// many times. A text's bytes never move, so its view stays valid until the table is cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quill {

class TextTable {
  public:
    // Ids count from 0 in the order the texts were first interned.
    using Id = std::uint32_t;

    // The id of the text, which is added when new; texts compare exactly, byte for byte.
    Id Intern(std::string_view text);
    std::optional<Id> Find(std::string_view text) const;
    std::string_view Text(Id id) const { return texts_[id]; }
    std::size_t Size() const { return texts_.size(); }
    // Forgets every text and gives the memory back; ids start again from 0.
    void Clear();

  private:
    std::size_t SlotOf(std::string_view text) const;
    std::string_view Keep(std::string_view text);
    void Grow();

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockRoom_ = 0;
    char* blockEnd_ = nullptr;
    std::deque<std::string_view> texts_;
    // Open addressing: id + 1 per used slot, 0 in a free one; never more than three quarters used.
    std::vector<Id> slots_;
};

}  // namespace quill
