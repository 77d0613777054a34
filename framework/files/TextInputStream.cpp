#include "TextInputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "FileBytes.h"
#include "runtime/RuntimeException.h"

Ref<TextInputStream> TextInputStream::Open(const Ref<FolderItem>& item) {
    if (!item) throw NilObjectException("TextInputStream.Open was given a nil item");
    const std::string path = item->ShellPath().Bytes();
    const auto refuse = [&path](const std::string& reason) {
        return IOException("Cannot open " + StringIsolated(path).Bytes() + " for reading: " + reason);
    };
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) throw refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) throw refuse("it is not a regular file");
    // Another program may put a pipe or a device in its place before the open: without
    // O_NONBLOCK, opening a pipe would wait for a writer that may never come, and the
    // descriptor is checked again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw refuse(std::strerror(errno));
    Ref<TextInputStream> stream(new TextInputStream(fd, path));
    if (::fstat(fd, &info) != 0) throw refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) throw refuse("it is not a regular file");
    return stream;
}

TextInputStream::~TextInputStream() { Close(); }

// The string is given the file's size and the room asked for at once, so a document is held
// once and never moved. It is filled a piece at a time rather than zeroed first and then read
// over. A file that grew since its size was taken is read to its end.
String TextInputStream::ReadAll(size_t room) {
    if (fd_ < 0) Fail("the stream is closed");
    struct stat info;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::fstat(fd_, &info) != 0) Fail(std::strerror(errno));
    std::string bytes;
    if (info.st_size > at) {
        const auto size = static_cast<uint64_t>(info.st_size - at);
        // A text no string can hold is as much too large as one that memory cannot hold.
        if (size > bytes.max_size() - room) throw std::bad_alloc();
        bytes.reserve(static_cast<size_t>(size) + room);
    }
    if (!ReadPieces(fd_, at, [&bytes](std::string_view piece) {
            bytes.append(piece);
            return true;
        }) ||
        ::lseek(fd_, at + static_cast<off_t>(bytes.size()), SEEK_SET) < 0)
        Fail(std::strerror(errno));
    return String(std::move(bytes));
}

void TextInputStream::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TextInputStream::Fail(const std::string& what) const {
    throw IOException("Cannot read " + StringIsolated(path_).Bytes() + ": " + what);
}
