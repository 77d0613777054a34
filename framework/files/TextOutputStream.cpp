#include "TextOutputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/RuntimeException.h"

namespace {
std::string Reason() { return std::strerror(errno); }

// False, with errno set, where the system takes less than all of it.
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

// Puts every byte of `from` over `to`, gives `to` that length and flushes it to disk.
bool CopyOver(int from, int to) {
    char chunk[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(from, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return ::ftruncate(to, at) == 0 && ::fsync(to) == 0;
        if (!WriteAt(to, {chunk, static_cast<size_t>(got)}, at)) return false;
        at += got;
    }
}

// The names of a file's extended attributes; none where the file system keeps none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
    std::string list(static_cast<size_t>(size), '\0');
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got < 0) return std::nullopt;
    std::vector<std::string> names;
    for (size_t at = 0; at < static_cast<size_t>(got); at += names.back().size() + 1)
        names.emplace_back(list.c_str() + at);
    return names;
}

bool CopyAttribute(int from, int to, const std::string& name) {
    const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
    if (size < 0) return false;
    std::string value(static_cast<size_t>(size), '\0');
    const ssize_t got = ::fgetxattr(from, name.c_str(), value.data(), value.size());
    return got >= 0 && ::fsetxattr(to, name.c_str(), value.data(), static_cast<size_t>(got), 0) == 0;
}

bool SyncFolderOf(const std::string& file) {
    const int folder = ::open(file.substr(0, file.rfind('/') + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0) ::close(folder);
    return synced;
}

const char* const kChanged = "another program changed it since it was read; it was left as it is";
}  // namespace

Ref<TextOutputStream> TextOutputStream::Create(const Ref<FolderItem>& item, const std::optional<FileStamp>& expected) {
    if (!item) throw NilObjectException("TextOutputStream.Create was given a nil item");
    Ref<TextOutputStream> stream(new TextOutputStream(item->ShellPath().Bytes()));
    stream->Open(expected);
    return stream;
}

TextOutputStream::~TextOutputStream() {
    if (!closed_) Discard();
}

void TextOutputStream::Open(const std::optional<FileStamp>& expected) {
    char* resolved = ::realpath(path_.c_str(), nullptr);
    if (!resolved) Fail(Reason());
    file_ = resolved;
    std::free(resolved);
    fileFd_ = ::open(file_.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fileFd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        Fail("the file is not writable (" + Reason() + ")");
    if (fileFd_ < 0) Fail(Reason());
    struct stat original;
    if (::fstat(fileFd_, &original) != 0) Fail(Reason());
    if (!S_ISREG(original.st_mode)) Fail("it is not a regular file");
    opened_ = StampOf(original);
    if (expected && *expected != opened_) Fail(kChanged);

    std::string aside = file_ + ".XXXXXX";
    const int fd = ::mkostemp(aside.data(), O_CLOEXEC);
    if (fd < 0) Fail("no file can be made beside it (" + Reason() + ")");
    asideFd_ = fd;
    aside_ = std::move(aside);
    renaming_ = original.st_nlink == 1 && CarryOver(original);
}

// Gives the new file what it would otherwise lose: false where any of it cannot be given, as
// when another user's file is written by someone who may not give files away. The owner comes
// last, so that a file that is then kept as the copy of the old text is still the writer's.
bool TextOutputStream::CarryOver(const struct stat& original) {
    const auto names = AttributeNames(fileFd_), inherited = AttributeNames(asideFd_);
    if (!names || !inherited) return false;
    for (const std::string& name : *inherited)
        if (std::find(names->begin(), names->end(), name) == names->end() &&
            ::fremovexattr(asideFd_, name.c_str()) != 0)
            return false;
    for (const std::string& name : *names)
        if (!CopyAttribute(fileFd_, asideFd_, name)) return false;
    struct stat made;
    if (::fchmod(asideFd_, original.st_mode & 07777) != 0 || ::fstat(asideFd_, &made) != 0) return false;
    if ((made.st_uid != original.st_uid || made.st_gid != original.st_gid) &&
        ::fchown(asideFd_, original.st_uid, original.st_gid) != 0)
        return false;
    // A change of owner may clear the set-user-ID and set-group-ID bits without a word.
    return ::fstat(asideFd_, &made) == 0 && made.st_mode == original.st_mode;
}

// The copy beside the file is complete and on disk before the file's first byte changes.
void TextOutputStream::BeginInPlace() {
    if (!CopyOver(fileFd_, asideFd_) || !SyncFolderOf(aside_))
        Fail("its text could not be copied beside it (" + Reason() + ")");
    CheckUnchanged();
    overwriting_ = true;
}

void TextOutputStream::CheckUnchanged() {
    struct stat now;
    if (::stat(file_.c_str(), &now) != 0 || StampOf(now) != opened_) Fail(kChanged);
}

void TextOutputStream::Write(std::string_view bytes) {
    if (closed_) Fail("the stream is closed");
    if (fileFd_ < 0) Fail("an earlier step failed");
    if (!renaming_ && !overwriting_) BeginInPlace();
    if (!WriteAt(renaming_ ? asideFd_ : fileFd_, bytes, written_)) Fail(Reason());
    written_ += static_cast<int64_t>(bytes.size());
}

void TextOutputStream::Close() {
    if (closed_) return;
    if (fileFd_ < 0) Fail("an earlier step failed");
    if (renaming_) {
        if (::fsync(asideFd_) != 0) Fail(Reason());
        CheckUnchanged();
        if (::rename(aside_.c_str(), file_.c_str()) != 0) Fail(Reason());
    } else {
        if (!overwriting_) BeginInPlace();
        if (::ftruncate(fileFd_, written_) != 0 || ::fsync(fileFd_) != 0) Fail(Reason());
        overwriting_ = false;
        if (::unlink(aside_.c_str()) != 0) {
            const std::string message = "The new text was written to " + path_ + ", but the copy of its former text, " +
                                        aside_ + ", could not be removed (" + Reason() + ")";
            aside_.clear();
            Discard();
            closed_ = true;
            throw IOException(message);
        }
    }
    aside_.clear();
    Discard();
    closed_ = true;
}

// Ends the stream: a file rewritten part way gets its former bytes back, and the temporary file
// goes unless it holds the only complete copy of them. Says what became of the file's text.
std::string TextOutputStream::Discard() {
    std::string outcome;
    if (overwriting_) {
        if (CopyOver(asideFd_, fileFd_)) {
            outcome = "; its former text was put back";
        } else {
            outcome = "; its former text could not be put back (" + Reason() + "), and a copy of it is kept in " +
                      aside_;
            aside_.clear();
        }
        overwriting_ = false;
    }
    if (!aside_.empty()) ::unlink(aside_.c_str());
    aside_.clear();
    if (asideFd_ >= 0) ::close(asideFd_);
    if (fileFd_ >= 0) ::close(fileFd_);
    asideFd_ = fileFd_ = -1;
    return outcome;
}

void TextOutputStream::Fail(const std::string& reason) {
    const std::string outcome = Discard();
    throw IOException("Cannot write " + path_ + ": " + reason + outcome);
}
