#include "TextOutputStream.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "runtime/RuntimeException.h"

namespace {
std::string Reason() { return StringIsolated(std::strerror(errno)).Bytes(); }

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

// Puts every byte of `from` over `to` and gives `to` that length; flushes it to disk unless told
// not to. Digests the bytes on the way where asked.
bool CopyOver(int from, int to, uint64_t* digest = nullptr, bool flush = true) {
    char chunk[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(from, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return ::ftruncate(to, at) == 0 && (!flush || ::fsync(to) == 0);
        if (digest) *digest = DigestOf({chunk, static_cast<size_t>(got)}, *digest);
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

std::optional<std::vector<std::pair<std::string, std::string>>> AttributesOf(int fd) {
    const auto names = AttributeNames(fd);
    if (!names) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> attributes;
    for (const std::string& name : *names) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string value(static_cast<size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got < 0) return std::nullopt;
        value.resize(static_cast<size_t>(got));
        attributes.emplace_back(name, std::move(value));
    }
    return attributes;
}

bool SetAttribute(int fd, const std::pair<std::string, std::string>& attribute) {
    return ::fsetxattr(fd, attribute.first.c_str(), attribute.second.data(), attribute.second.size(), 0) == 0;
}

bool HasAttribute(int fd, const std::string& name) { return ::fgetxattr(fd, name.c_str(), nullptr, 0) >= 0; }

bool SyncFolderOf(const std::string& file) {
    const int folder = ::open(file.substr(0, file.rfind('/') + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0) ::close(folder);
    return synced;
}

// The template of a name beside `file`: its name and seven characters. Where the whole would
// pass the folder's limit on names, the part taken from the file's name is cut short, never
// within a UTF-8 sequence.
std::string BesideTemplate(const std::string& file) {
    const size_t slash = file.rfind('/');
    const std::string folder = file.substr(0, slash + 1);
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t room = (limit > 0 ? static_cast<size_t>(limit) : 255) - 7;
    std::string name = file.substr(slash + 1);
    if (name.size() > room) {
        size_t cut = room;
        for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++back) --cut;
        name.resize(cut);
    }
    return folder + name + ".XXXXXX";
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
    if (phase_ == Phase::Open || phase_ == Phase::Overwriting) Discard();
}

// Nothing but a regular file is opened: opening a pipe or a device can itself have an effect.
// The descriptor is checked again, for a file put in the path's place in between.
void TextOutputStream::Open(const std::optional<FileStamp>& expected) {
    // A file that was read and is gone now was changed on disk like any other.
    const auto notFound = [&] {
        const bool gone = expected && errno == ENOENT;
        Fail(gone ? kChanged : Reason(), gone);
    };
    char* resolved = ::realpath(path_.c_str(), nullptr);
    if (!resolved) notFound();
    file_ = resolved;
    std::free(resolved);
    struct stat named;
    if (::stat(file_.c_str(), &named) != 0) notFound();
    if (!S_ISREG(named.st_mode)) Fail("it is not a regular file");
    fileFd_ = ::open(file_.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fileFd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        Fail("the file is not writable (" + Reason() + ")");
    if (fileFd_ < 0) Fail(Reason());
    if (::fstat(fileFd_, &original_) != 0) Fail(Reason());
    if (!S_ISREG(original_.st_mode)) Fail("it is not a regular file");
    opened_ = StampOf(original_);
    if (expected) {
        FileStamp now = opened_;
        now.digest = expected->digest;
        if (now != *expected) Fail(kChanged, true);
        expectedDigest_ = expected->digest;
    }
    if (opened_.WholeSeconds()) writtenDigest_ = kDigestStart;

    const auto attributes = AttributesOf(fileFd_);
    if (attributes) attributes_ = *attributes;
    text_ = MakeBeside();
    if (attributes && original_.st_nlink == 1 && CarryOver()) {
        way_ = Way::Rename;
    } else {
        way_ = Way::InPlace;
        copy_ = std::exchange(text_, {});
        MakeCopy();
    }
}

TextOutputStream::Beside TextOutputStream::MakeBeside() {
    std::string name = BesideTemplate(file_);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) Fail("no file can be made beside it (" + Reason() + ")");
    return {std::move(name), fd};
}

// Gives the new file what it would otherwise lose: false where any of it cannot be given, as
// when another user's file is written by someone who may not give files away. The owner comes
// last, as a new owner may no longer be given the mode.
bool TextOutputStream::CarryOver() {
    const auto inherited = AttributeNames(text_.fd);
    if (!inherited) return false;
    for (const std::string& name : *inherited)
        if (std::none_of(attributes_.begin(), attributes_.end(), [&](const auto& kept) { return kept.first == name; }) &&
            ::fremovexattr(text_.fd, name.c_str()) != 0)
            return false;
    for (const auto& attribute : attributes_)
        if (!SetAttribute(text_.fd, attribute)) return false;
    struct stat made;
    if (::fchmod(text_.fd, original_.st_mode & 07777) != 0 || ::fstat(text_.fd, &made) != 0) return false;
    if ((made.st_uid != original_.st_uid || made.st_gid != original_.st_gid) &&
        ::fchown(text_.fd, original_.st_uid, original_.st_gid) != 0)
        return false;
    // A change of owner may clear the set-user-ID and set-group-ID bits without a word.
    return ::fstat(text_.fd, &made) == 0 && made.st_mode == original_.st_mode;
}

// Gives back what writing, or a change of owner, took from a file: the system clears the
// set-user-ID and set-group-ID bits when one who lacks the power to keep them writes, and
// removes file capabilities (security.capability) on every write. False where any of it is
// still missing, as the system lets only the owner set the mode and only a privileged writer
// set a capability.
bool TextOutputStream::KeepPrivileges(int fd) const {
    struct stat now;
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_mode != original_.st_mode && ::fchmod(fd, original_.st_mode & 07777) != 0) return false;
    bool kept = true;
    for (const auto& attribute : attributes_)
        if (!HasAttribute(fd, attribute.first) && !SetAttribute(fd, attribute)) kept = false;
    return kept && ::fstat(fd, &now) == 0 && now.st_mode == original_.st_mode;
}

// The copy of the former text is the file's owner's, in the file's group and with its mode, so
// that the owner can bring the file back from a copy that a killed rewrite left; its owner may
// always read it. Where the writer may not give it so, it stays the writer's. Set-ID bits serve
// no purpose on a copy and are never given.
void TextOutputStream::MakeCopy() {
    if (copy_.fd < 0) copy_ = MakeBeside();
    if (::fchmod(copy_.fd, (original_.st_mode & 0777) | S_IRUSR) != 0) {
        // The copy keeps the mode it was made with, which its maker may read.
    }
    if (::fchown(copy_.fd, original_.st_uid, original_.st_gid) != 0 && ::fchown(copy_.fd, -1, original_.st_gid) != 0) {
        // Only a privileged writer gives a file away; one may still give it a group of one's own.
    }
}

// The copy beside the file is complete and on disk before the file's first byte changes.
void TextOutputStream::BeginInPlace() {
    uint64_t digest = kDigestStart;
    if (!CopyOver(fileFd_, copy_.fd, expectedDigest_ ? &digest : nullptr) || !SyncFolderOf(copy_.name))
        Fail("its text could not be copied beside it (" + Reason() + ")");
    CheckUnchanged(expectedDigest_ ? std::optional(digest) : std::nullopt);
    phase_ = Phase::Overwriting;
}

// The stamp is taken before the flush: a save by another program during it must show as one.
void TextOutputStream::FinishInPlace() {
    if (::ftruncate(fileFd_, written_) != 0) Fail(Reason());
    KeepPrivileges(fileFd_);  // as far as the writer may
    struct stat written;
    if (::fstat(fileFd_, &written) != 0) Fail(Reason());
    closed_ = StampOf(written);
    if (::fsync(fileFd_) != 0) Fail(Reason());
    phase_ = Phase::Closed;
    if (::unlink(copy_.name.c_str()) != 0) {
        const std::string message = "The new text was written to " + StringIsolated(path_).Bytes() +
                                    ", but the copy of its former text, " + StringIsolated(copy_.name).Bytes() +
                                    ", could not be removed (" + Reason() + ")";
        copy_.name.clear();
        Discard();
        throw IOException(message);
    }
    copy_.name.clear();
}

// Where the stamp cannot tell, the digest of the file's current bytes, compared with that of the
// bytes that were read, does.
void TextOutputStream::CheckUnchanged(std::optional<uint64_t> digest) {
    struct stat now;
    if (::stat(file_.c_str(), &now) != 0 || StampOf(now) != opened_) Fail(kChanged, true);
    if (expectedDigest_ && digest != expectedDigest_) Fail(kChanged, true);
}

std::optional<uint64_t> TextOutputStream::DigestOfFile() {
    const int fd = ::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    uint64_t digest = kDigestStart;
    char chunk[64 * 1024];
    ssize_t got;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0) digest = DigestOf({chunk, static_cast<size_t>(got)}, digest);
    ::close(fd);
    return got == 0 ? std::optional(digest) : std::nullopt;
}

void TextOutputStream::Write(std::string_view bytes) {
    if (phase_ == Phase::Failed) failure_->Raise();
    if (phase_ == Phase::Closed)
        throw IOException("Cannot write " + StringIsolated(path_).Bytes() + ": the stream is closed");
    if (way_ == Way::InPlace && phase_ == Phase::Open) BeginInPlace();
    if (!WriteAt(way_ == Way::Rename ? text_.fd : fileFd_, bytes, written_)) Fail(Reason());
    written_ += static_cast<int64_t>(bytes.size());
    if (writtenDigest_) writtenDigest_ = DigestOf(bytes, *writtenDigest_);
}

// A rename that the system refuses while the file itself may be written (the file is a mount
// point, or lies on another file system than its folder) turns the stream to a rewrite in
// place, from the new text already written beside it: the text reaches the stream in pieces,
// so this is the only place it is still whole.
FileStamp TextOutputStream::Close() {
    if (phase_ == Phase::Closed) return closed_;
    if (phase_ == Phase::Failed) failure_->Raise();
    if (way_ == Way::Rename) {
        if (!KeepPrivileges(text_.fd)) Fail("its mode and extended attributes could not be kept (" + Reason() + ")");
        if (::fsync(text_.fd) != 0) Fail(Reason());
        CheckUnchanged(expectedDigest_ ? DigestOfFile() : std::nullopt);
        if (::rename(text_.name.c_str(), file_.c_str()) == 0) {
            text_.name.clear();
            struct stat written;
            if (::fstat(text_.fd, &written) != 0) Fail(Reason());
            closed_ = StampOf(written);
            phase_ = Phase::Closed;
        } else {
            way_ = Way::InPlace;
            MakeCopy();
            BeginInPlace();
            if (!CopyOver(text_.fd, fileFd_, nullptr, false)) Fail(Reason());
            FinishInPlace();
        }
    } else {
        if (phase_ == Phase::Open) BeginInPlace();
        FinishInPlace();
    }
    if (closed_.WholeSeconds() && writtenDigest_) closed_.digest = writtenDigest_;
    Discard();
    return closed_;
}

// Ends the stream: a file rewritten part way gets its former bytes back, and the files beside it
// go unless one holds the only complete copy of them. Says what became of the file's text.
std::string TextOutputStream::Discard() {
    std::string outcome;
    if (phase_ == Phase::Overwriting) {
        if (CopyOver(copy_.fd, fileFd_)) {
            KeepPrivileges(fileFd_);
            outcome = "; its former text was put back";
        } else {
            outcome = "; its former text could not be put back (" + Reason() + "), and a copy of it is kept in " +
                      StringIsolated(copy_.name).Bytes();
            copy_.name.clear();
        }
        phase_ = Phase::Open;
    }
    for (Beside* beside : {&text_, &copy_}) {
        if (!beside->name.empty()) ::unlink(beside->name.c_str());
        if (beside->fd >= 0) ::close(beside->fd);
        *beside = {};
    }
    if (fileFd_ >= 0) ::close(fileFd_);
    fileFd_ = -1;
    return outcome;
}

void TextOutputStream::Fail(const std::string& reason, bool changedOnDisk) {
    const std::string message = "Cannot write " + StringIsolated(path_).Bytes() + ": " + reason + Discard();
    phase_ = Phase::Failed;
    if (changedOnDisk) {
        const ChangedOnDiskException failure(message);
        failure_ = failure.Clone();
        throw failure;
    }
    const IOException failure(message);
    failure_ = failure.Clone();
    throw failure;
}
