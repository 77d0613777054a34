#include "TextInputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "runtime/RuntimeException.h"

Ref<TextInputStream> TextInputStream::Open(const Ref<FolderItem>& item) {
    if (!item) throw NilObjectException("TextInputStream.Open was given a nil item");
    const std::string path = item->ShellPath().Bytes();
    // Without O_NONBLOCK, opening a pipe would wait for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw IOException("Cannot open " + path + " for reading: " + std::strerror(errno));
    Ref<TextInputStream> stream(new TextInputStream(fd, path));
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throw IOException("Cannot open " + path + " for reading: " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) throw IOException("Cannot open " + path + " for reading: it is not a regular file");
    return stream;
}

TextInputStream::~TextInputStream() { Close(); }

// The string is given the file's size at once, with a little room to spare, so a document is
// held once and never moved, and a small edit made in it after the read (a marker a few bytes
// longer than the word it stands for) needs no second copy either. It is filled a chunk at a
// time rather than zeroed first and then read over. A file that grew since its size was taken
// is read to its end.
String TextInputStream::ReadAll() {
    if (fd_ < 0) Fail("the stream is closed");
    struct stat info;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::fstat(fd_, &info) != 0) Fail(std::strerror(errno));
    std::string bytes;
    constexpr size_t kSpare = 64;
    if (info.st_size > at) bytes.reserve(static_cast<size_t>(info.st_size - at) + kSpare);
    constexpr size_t kChunk = size_t{1} << 20;
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    for (;;) {
        const ssize_t got = ::read(fd_, chunk.get(), kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail(std::strerror(errno));
        if (got == 0) break;
        bytes.append(chunk.get(), static_cast<size_t>(got));
    }
    return String(std::move(bytes));
}

void TextInputStream::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TextInputStream::Fail(const std::string& what) const {
    throw IOException("Cannot read " + path_ + ": " + what);
}
