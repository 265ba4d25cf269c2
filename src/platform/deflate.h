// Compresses text held in memory for a while (answers and plans waiting to be read), for this
// process alone: raw deflate with a small window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::platform {

// A text kept deflated when that makes it smaller, else as it is.
class PackedText {
  public:
    PackedText() = default;
    explicit PackedText(std::string text);
    std::string Unpack() const;
    // Its bytes as they stand, to be read back by this process: FromBytes gives it again, and
    // nothing for anything else.
    std::string ToBytes() const;
    static std::optional<PackedText> FromBytes(std::string_view bytes);
    // What it takes in memory besides itself.
    std::size_t Bytes() const { return packed_.capacity(); }

  private:
    std::string packed_;
    std::uint32_t size_ = 0;
    bool deflated_ = false;
};

}  // namespace quill::platform
