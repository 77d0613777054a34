#include "FileBytes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool ReadPieces(int fd, off_t at, const std::function<bool(std::string_view)>& take) {
    char piece[64 * 1024];
    for (;;) {
        const ssize_t got = ::pread(fd, piece, sizeof piece, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!take({piece, static_cast<size_t>(got)})) return false;
        at += got;
    }
}

bool WriteAt(int fd, std::string_view bytes, off_t at) {
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), std::min<size_t>(bytes.size(), size_t{1} << 30), at);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
        at += written;
    }
    return true;
}
