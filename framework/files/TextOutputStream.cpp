#include "TextOutputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "FileBytes.h"
#include "runtime/RuntimeException.h"

namespace {
// The system's reason, isolated like a name: it stands among the stream's own words.
std::string Reason() { return StringIsolated(std::strerror(errno)).Bytes(); }

// A name among the stream's own words, which its bidirectional controls cannot turn around.
std::string Shown(const std::string& name) { return StringIsolated(name).Bytes(); }

std::string FolderOf(const std::string& file) { return file.substr(0, file.rfind('/') + 1); }

// Puts every byte of `from` over `to` and gives `to` that length, digesting them on the way
// where asked. False, with errno set, where any of it fails.
bool CopyOver(int from, int to, Digest* digest = nullptr) {
    off_t at = 0;
    const bool copied = ReadPieces(from, 0, [&](std::string_view piece) {
        if (digest) digest->Add(piece);
        if (!WriteAt(to, piece, at)) return false;
        at += static_cast<off_t>(piece.size());
        return true;
    });
    return copied && ::ftruncate(to, at) == 0;
}

// Digests every byte of the file open at `fd`. False, with errno set, where reading fails.
bool DigestAll(int fd, Digest& digest) {
    return ReadPieces(fd, 0, [&digest](std::string_view piece) {
        digest.Add(piece);
        return true;
    });
}

bool SyncFolderOf(const std::string& file) {
    const int folder = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0) ::close(folder);
    return synced;
}

// A mount point cannot be renamed over. It is the root of its mount, or, where the system
// cannot tell that, lies on another device than its folder.
bool IsMountPoint(int fd, const struct stat& info, const std::string& file) {
    struct statx extended {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &extended) == 0 &&
        (extended.stx_attributes & extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return true;
    struct stat folder;
    return ::stat(FolderOf(file).c_str(), &folder) != 0 || folder.st_dev != info.st_dev;
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
const char* const kReplaced =
    "another program put another file in its place while it was written, so the new text did not reach it";
}  // namespace

Ref<TextOutputStream> TextOutputStream::Create(const Ref<FolderItem>& item, const std::optional<FileStamp>& expected) {
    if (!item) throw NilObjectException("TextOutputStream.Create was given a nil item");
    Ref<TextOutputStream> stream(new TextOutputStream(item->ShellPath().Bytes()));
    stream->Open(expected);
    return stream;
}

TextOutputStream::~TextOutputStream() {
    if (phase_ != Phase::Closed) Discard();
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
    struct stat info;
    if (::stat(file_.c_str(), &info) != 0) notFound();
    if (!S_ISREG(info.st_mode)) Fail("it is not a regular file");
    fileFd_ = ::open(file_.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fileFd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        Fail("the file is not writable (" + Reason() + ")");
    if (fileFd_ < 0) Fail(Reason());
    if (::fstat(fileFd_, &info) != 0) Fail(Reason());
    if (!S_ISREG(info.st_mode)) Fail("it is not a regular file");
    opened_ = StampOf(info);
    stamp_ = expected ? *expected : opened_;
    if (expected && !opened_.SameAs(*expected)) Fail(kChanged, true);
    if (expected) expectedDigest_ = expected->digest;
    if (opened_.WholeSeconds()) writtenDigest_.emplace();

    const auto metadata = FileMetadata::Of(fileFd_);
    if (!metadata) Fail("its permissions and extended attributes cannot be read (" + Reason() + ")");
    metadata_ = *metadata;
    way_ = ChooseWay(info);
}

// A new file beside the old one takes its place only where it can be all that the old one is;
// where it cannot, the file made beside holds the copy of the former text instead.
TextOutputStream::Way TextOutputStream::ChooseWay(const struct stat& opened) {
    const char* const copy = "a copy of its former text";
    if (opened.st_nlink == 1 && !IsMountPoint(fileFd_, opened, file_) && metadata_.MayGivePrivileges()) {
        newText_ = MakeBeside("its new text");
        if (metadata_.GiveAllButPermissions(newText_.fd)) return Way::Rename;
        formerText_ = std::exchange(newText_, {});
        formerText_.holds = copy;
        return Way::InPlace;
    }
    formerText_ = MakeBeside(copy);
    return Way::InPlace;
}

TextOutputStream::Beside TextOutputStream::MakeBeside(const char* holds) {
    std::string name = BesideTemplate(file_);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) Fail("no file can be made beside it (" + Reason() + ")");
    // Where the file system keeps no permissions, it has those of every file there.
    ::fchmod(fd, 0);
    return {std::move(name), fd, holds};
}

// The copy beside the file is complete and on disk, readable by those who may read the file,
// before the file's first byte changes; the bytes copied are those that were read.
void TextOutputStream::BeginInPlace() {
    CheckStamp();
    Digest digest;
    if (!CopyOver(fileFd_, formerText_.fd, expectedDigest_ ? &digest : nullptr) ||
        !metadata_.GiveReadersTo(formerText_.fd) || ::fsync(formerText_.fd) != 0 || !SyncFolderOf(file_))
        Fail("its text could not be copied beside it (" + Reason() + ")");
    CheckStamp();
    if (expectedDigest_) CheckDigest(digest);
    phase_ = Phase::Overwriting;
}

void TextOutputStream::FinishInPlace() {
    if (::ftruncate(fileFd_, written_) != 0) Fail(Reason());
    struct stat written, named;
    if (::fstat(fileFd_, &written) != 0) Fail(Reason());
    if (::stat(file_.c_str(), &named) != 0 || named.st_ino != written.st_ino || named.st_dev != written.st_dev)
        Fail(kReplaced, true, true);
    if (metadata_.GivePrivilegesBack(fileFd_) == FileMetadata::Privileges::OthersActed)
        Tell("its set-ID bits and file capability were not given back: another program changed its owner, group or "
             "permissions while it was written");
    // The stamp is taken before the flush: a save by another program during it must show as one.
    if (::fstat(fileFd_, &written) != 0) Fail(Reason());
    const FileStamp stamp = StampOf(written);
    if (::fsync(fileFd_) != 0) Fail(Reason());
    stamp_ = stamp;
    phase_ = Phase::Closed;
    if (const auto reason = Remove(formerText_))
        Tell("the copy of its former text, " + Shown(formerText_.name) + ", could not be removed (" + *reason + ")");
}

// The new file gets its permissions once its text is whole and on disk, and its privileges once
// it is the document, so that no file left beside the document carries them.
void TextOutputStream::FinishByRename() {
    if (::fsync(newText_.fd) != 0) Fail(Reason());
    if (!metadata_.GivePermissions(newText_.fd)) Fail("its permissions could not be given to its new text (" + Reason() + ")");
    CheckStamp();
    if (expectedDigest_) {
        Digest digest;
        if (!DigestAll(fileFd_, digest)) Fail(Reason());
        CheckDigest(digest);
    }
    if (::rename(newText_.name.c_str(), file_.c_str()) != 0)
        Fail("its new text could not take its place (" + Reason() + ")");
    newText_.name.clear();
    phase_ = Phase::Closed;
    if (metadata_.GivePrivilegesBack(newText_.fd) != FileMetadata::Privileges::Kept)
        Tell("its set-ID bits and file capability could not be given back");
    struct stat written;
    if (::fstat(newText_.fd, &written) == 0) stamp_ = StampOf(written);
    if (!SyncFolderOf(file_)) Tell("the system could not say that it is on disk (" + Reason() + ")");
}

void TextOutputStream::Tell(const std::string& what) {
    notice_ += notice_.empty() ? "The new text was written to " + Shown(path_) + ", but " + what : "; and " + what;
}

void TextOutputStream::CheckStamp() {
    struct stat now;
    if (::stat(file_.c_str(), &now) != 0 || StampOf(now) != opened_) Fail(kChanged, true);
}

void TextOutputStream::CheckDigest(const Digest& digest) {
    if (digest.Value() != expectedDigest_) Fail(kChanged, true);
}

void TextOutputStream::Write(std::string_view bytes) {
    if (failure_) failure_->Raise();
    if (phase_ == Phase::Closed) throw IOException("Cannot write " + Shown(path_) + ": the stream is closed");
    if (way_ == Way::InPlace && phase_ == Phase::Open) BeginInPlace();
    if (!WriteAt(way_ == Way::Rename ? newText_.fd : fileFd_, bytes, written_)) Fail(Reason());
    written_ += static_cast<int64_t>(bytes.size());
    if (writtenDigest_) writtenDigest_->Add(bytes);
}

FileStamp TextOutputStream::Close() {
    if (failure_) failure_->Raise();
    if (phase_ == Phase::Closed) return stamp_;
    if (way_ == Way::Rename) {
        FinishByRename();
    } else {
        if (phase_ == Phase::Open) BeginInPlace();
        FinishInPlace();
    }
    if (stamp_.WholeSeconds() && writtenDigest_) stamp_.digest = writtenDigest_->Value();
    CloseFiles();
    return stamp_;
}

// Nullopt once the file is gone; else the system's reason, and it stays.
std::optional<std::string> TextOutputStream::Remove(Beside& beside) {
    if (!beside.name.empty() && ::unlink(beside.name.c_str()) != 0) return Reason();
    beside.name.clear();
    return std::nullopt;
}

// Ends a stream that did not close: a file rewritten part way gets its former bytes back, and
// the files beside it go, unless one holds the only complete copy of them.
TextOutputStream::Discarded TextOutputStream::Discard() {
    Discarded discarded;
    if (phase_ == Phase::Overwriting) {
        struct stat back;
        if (CopyOver(formerText_.fd, fileFd_) && ::fsync(fileFd_) == 0) {
            metadata_.GivePrivilegesBack(fileFd_);
            discarded.text = Text::PutBack;
            if (::fstat(fileFd_, &back) == 0) {
                stamp_ = StampOf(back);
                stamp_.digest = expectedDigest_;
            }
        } else {
            discarded.text = Text::NotPutBack;
            discarded.reason = Reason();
        }
    }
    phase_ = Phase::Closed;
    for (Beside* beside : {&newText_, &formerText_}) {
        const bool onlyCopy = beside == &formerText_ && discarded.text == Text::NotPutBack;
        if (const auto reason = onlyCopy ? std::nullopt : Remove(*beside))
            discarded.stranded.push_back({beside->name, beside->holds, *reason});
    }
    CloseFiles();
    return discarded;
}

void TextOutputStream::CloseFiles() {
    for (int* fd : {&newText_.fd, &formerText_.fd, &fileFd_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void TextOutputStream::Fail(const std::string& reason, bool changedOnDisk, bool whileWritten) {
    const Discarded discarded = Discard();
    std::string message = "Cannot write " + Shown(path_) + ": " + reason;
    if (discarded.text == Text::PutBack) message += "; its former text was put back";
    if (discarded.text == Text::NotPutBack)
        message += "; its former text could not be put back (" + discarded.reason + "), and a copy of it is kept in " +
                   Shown(formerText_.name);
    for (const Stranded& left : discarded.stranded)
        message += "; " + Shown(left.name) + ", which holds " + left.holds + ", could not be removed (" + left.reason + ")";
    if (changedOnDisk) {
        const ChangedOnDiskException failure(message, whileWritten);
        failure_ = failure.Clone();
        throw failure;
    }
    const IOException failure(message);
    failure_ = failure.Clone();
    throw failure;
}
