// Bytes set aside out of memory until they are read back: an unnamed file of this process in the
// temporary directory, gone when the process ends, and never bigger than its limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::platform {

class ScratchFile {
  public:
    // Where bytes were set aside.
    struct Slot {
        std::uint64_t offset = 0;
        std::uint32_t size = 0;
    };

    // The file is made at the first Put, in $TMPDIR, else /var/tmp, else /tmp.
    explicit ScratchFile(std::uint64_t maxBytes);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Where the bytes went; nothing when they could not be set aside: the file is full, or it
    // could not be made or written. One caller at a time.
    std::optional<Slot> Put(std::string_view bytes);
    // What Put set aside there; nothing when it cannot be read back.
    std::optional<std::string> Read(Slot slot) const;
    // Lets go of everything set aside (its slots read nothing after this), and tries again if
    // the file failed.
    void Clear();

  private:
    bool Open();

    const std::uint64_t maxBytes_;
    int fd_ = -1;
    bool failed_ = false;  // it could not be made or written: nothing more is set aside
    std::uint64_t end_ = 0;
};

}  // namespace quill::platform
