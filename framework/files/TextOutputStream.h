#pragma once

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FolderItem.h"

class RuntimeException;

// Writes a file's new text so that it stays the same file: its owner, group, mode (set-ID bits
// included), extended attributes (file capabilities included) and hard links survive, and a
// symbolic link keeps leading to it (the file it leads to gets the text). Names are the bytes of
// the path, so a name that is not UTF-8 is no obstacle.
//
// Where a new file can carry everything the old one has (it has one link only, and the owner,
// group, extended attributes and mode could all be set on a new file), the text goes to a
// temporary file beside it, which Close flushes and renames over it. Otherwise, and where the
// rename is refused (a file that is a mount point), the file is rewritten in place: before its
// first byte changes, a complete copy of its bytes is written beside it and flushed, with the
// file's owner, group and mode where the writer may give them; Close sets the new length,
// flushes and removes the copy. After a failure the copy's bytes are put back, and where even
// that fails the copy is kept, named in the message. A stream that is not closed leaves the
// file as it was.
class TextOutputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be written: it must exist, be a regular file the user may write,
    // and lie in a folder where a file can be made beside it. With a stamp given, a file that no
    // longer matches it, checked again right before the new text replaces the old (and, where the
    // stamp carries a digest, whose bytes no longer match it), is left as it is:
    // ChangedOnDiskException.
    static Ref<TextOutputStream> Create(const Ref<FolderItem>& item, const std::optional<FileStamp>& expected = {});
    ~TextOutputStream() override;

    // Each raises IOException naming the file and the system's reason; the stream is then
    // discarded, the file holds its former text (or the message says where that is), and every
    // later call raises the same exception again.
    void Write(std::string_view bytes);  // exactly these bytes, nothing added
    // The new text replaces the old. Gives back the stamp of the file as this stream left it,
    // taken right after its last change and before the flush to disk, so that a save by another
    // program after it shows as a change; a second Close gives it again.
    FileStamp Close();

private:
    // Decided at Open: a new file renamed over the old, or the old one rewritten. A refused
    // rename turns the first into the second at Close.
    enum class Way { Rename, InPlace };
    // Overwriting: the file's own bytes are changing, and the complete copy of its former bytes
    // beside it is on disk.
    enum class Phase { Open, Overwriting, Closed, Failed };
    // A file the stream made beside the one it writes.
    struct Beside {
        std::string name;
        int fd = -1;
    };

    explicit TextOutputStream(std::string path) : path_(std::move(path)) {}
    void Open(const std::optional<FileStamp>& expected);
    Beside MakeBeside();
    bool CarryOver();
    bool KeepPrivileges(int fd) const;
    void MakeCopy();
    void BeginInPlace();
    void FinishInPlace();
    void CheckUnchanged(std::optional<uint64_t> digest);
    std::optional<uint64_t> DigestOfFile();
    std::string Discard();
    [[noreturn]] void Fail(const std::string& reason, bool changedOnDisk = false);

    std::string path_;  // as given, for the messages
    std::string file_;  // the file written, where a link leads
    int fileFd_ = -1;
    Beside text_;  // the new text, on the way of a rename
    Beside copy_;  // the copy of the former text, on the way in place
    Way way_ = Way::InPlace;
    Phase phase_ = Phase::Open;
    struct stat original_ {};
    std::vector<std::pair<std::string, std::string>> attributes_;  // the file's extended attributes, by name
    FileStamp opened_, closed_;
    std::optional<uint64_t> expectedDigest_;  // of the bytes that were read
    std::optional<uint64_t> writtenDigest_;   // of those written, where the file keeps whole seconds
    int64_t written_ = 0;
    std::shared_ptr<RuntimeException> failure_;  // the first, raised again by every later call
};
