#include "platform/scratch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quill::platform {

namespace {

// Writes or reads all of `size` bytes at `offset`, through interruptions and short transfers.
template <typename Call, typename Bytes>
bool Whole(Call call, int fd, Bytes* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t done = call(fd, data, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

int MakeUnnamedFile(const std::string& directory) {
    const int fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        return fd;
    }
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = directory + "/quillorbane-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        unlink(name.c_str());
    }
    return named;
}

}  // namespace

ScratchFile::ScratchFile(std::uint64_t maxBytes) : maxBytes_(maxBytes) {}

ScratchFile::~ScratchFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool ScratchFile::Open() {
    if (fd_ >= 0) {
        return true;
    }
    const char* tmpdir = std::getenv("TMPDIR");
    for (const char* directory : {tmpdir, "/var/tmp", "/tmp"}) {
        if (directory != nullptr && *directory != '\0' && (fd_ = MakeUnnamedFile(directory)) >= 0) {
            return true;
        }
    }
    failed_ = true;
    return false;
}

std::optional<ScratchFile::Slot> ScratchFile::Put(std::string_view bytes) {
    if (failed_ || bytes.empty() || bytes.size() > UINT32_MAX || end_ + bytes.size() > maxBytes_ ||
        !Open()) {
        return std::nullopt;
    }
    if (!Whole(pwrite, fd_, bytes.data(), bytes.size(), end_)) {
        failed_ = true;  // a full disk: what is set aside stays readable
        return std::nullopt;
    }
    const Slot slot{end_, static_cast<std::uint32_t>(bytes.size())};
    end_ += bytes.size();
    return slot;
}

std::optional<std::string> ScratchFile::Read(Slot slot) const {
    if (fd_ < 0 || slot.size == 0 || slot.offset + slot.size > end_) {
        return std::nullopt;
    }
    std::string bytes(slot.size, '\0');
    if (!Whole(pread, fd_, bytes.data(), bytes.size(), slot.offset)) {
        return std::nullopt;
    }
    return bytes;
}

void ScratchFile::Clear() {
    if (fd_ >= 0 && ftruncate(fd_, 0) != 0) {
        close(fd_);
        fd_ = -1;
    }
    end_ = 0;
    failed_ = false;
}

}  // namespace quill::platform
