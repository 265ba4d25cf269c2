#include "platform/deflate.h"

#include <zlib.h>

#include <cstring>
#include <string_view>
#include <utility>

namespace quill::platform {

namespace {

// A small window and little hash memory: what is packed is a few kilobytes, and most of it
// repeats within a few hundred bytes.
constexpr int kWindowBits = 12;
constexpr int kMemLevel = 4;

// The text deflated; "" when that would not make it smaller.
std::string Deflate(std::string_view text) {
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END || out.size() >= text.size()) {
        return {};
    }
    out.shrink_to_fit();
    return out;
}

// What Deflate made of a text of `size` bytes; "" when `packed` is not that.
std::string Inflate(std::string_view packed, std::size_t size) {
    std::string out(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -kWindowBits) != Z_OK) {
        return {};
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    // What this process deflated inflates back whole; anything else would be a fault here.
    out.resize(result == Z_STREAM_END ? stream.total_out : 0);
    return out;
}

}  // namespace

PackedText::PackedText(std::string text)
    : packed_(Deflate(text)), size_(static_cast<std::uint32_t>(text.size())) {
    deflated_ = !packed_.empty() || text.empty();
    if (!deflated_) {
        packed_ = std::move(text);
    }
}

std::string PackedText::Unpack() const {
    return deflated_ && size_ > 0 ? Inflate(packed_, size_) : packed_;
}

// Its size and whether it is deflated, then the text as kept.
std::string PackedText::ToBytes() const {
    std::string bytes(sizeof(size_) + 1, '\0');
    std::memcpy(bytes.data(), &size_, sizeof(size_));
    bytes[sizeof(size_)] = deflated_ ? 1 : 0;
    return bytes + packed_;
}

std::optional<PackedText> PackedText::FromBytes(std::string_view bytes) {
    PackedText text;
    if (bytes.size() < sizeof(text.size_) + 1) {
        return std::nullopt;
    }
    std::memcpy(&text.size_, bytes.data(), sizeof(text.size_));
    text.deflated_ = bytes[sizeof(text.size_)] != 0;
    text.packed_ = std::string(bytes.substr(sizeof(text.size_) + 1));
    if (!text.deflated_ && text.packed_.size() != text.size_) {
        return std::nullopt;
    }
    return text;
}

}  // namespace quill::platform
