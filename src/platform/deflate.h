// Compresses text held in memory for a while (answers and plans waiting to be read), for this
// process alone: raw deflate with a small window.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill::platform {

// The text deflated; "" when that would not make it smaller.
std::string Deflate(std::string_view text);
// What Deflate made of a text of `size` bytes; "" when `packed` is not that.
std::string Inflate(std::string_view packed, std::size_t size);

}  // namespace quill::platform
