// Compresses text held in memory for a while (answers and plans waiting to be read), for this
// process alone: raw deflate with a small window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill::platform {

// A text kept deflated when that makes it smaller, else as it is.
class PackedText {
  public:
    PackedText() = default;
    explicit PackedText(std::string text);
    std::string Unpack() const;
    // What it takes in memory besides itself.
    std::size_t Bytes() const { return packed_.capacity(); }

  private:
    std::string packed_;
    std::uint32_t size_ = 0;
    bool deflated_ = false;
};

}  // namespace quill::platform
