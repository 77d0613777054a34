#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FileMetadata.h"
#include "FileStamp.h"
#include "FolderItem.h"

class RuntimeException;

// Writes a file's new text so that it stays the same file: its owner, group, mode (set-ID bits
// included), extended attributes (access control list and file capability included) and hard
// links survive, and a symbolic link keeps leading to it (the file it leads to gets the text).
// Names are the bytes of the path, so a name that is not UTF-8 is no obstacle.
//
// How it writes is decided once, when it opens:
// - By a rename, where a new file can be all that the old one is: the old one has one name and
//   is no mount point, and a new file beside it takes its extended attributes, owner, group and
//   mode, and may be given its set-ID bits and file capability. The text goes to that new file.
//   Close flushes it, gives it the mode, checks the old one and renames the new one over it; only
//   then does it get the set-ID bits and the capability.
// - In place, otherwise. Before the file's first byte changes, a complete copy of its bytes is
//   flushed beside it, which those who may read the file may read, and no one else. Close sets
//   the new length, checks that the file's name still leads to it, gives back what the writes
//   took (the set-ID bits, the capability) unless another program changed the file's owner,
//   group or mode meanwhile, flushes and removes the copy. After a failure the copy's bytes are
//   put back; where even that fails, the copy is kept and named in the message.
// A file the stream makes beside the old one has no permissions at all until its text is whole.
// A stream that is not closed leaves the file as it was.
class TextOutputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be written: it must exist, be a regular file the user may write,
    // and lie in a folder where a file can be made beside it. With a stamp given, a file that no
    // longer matches it is left as it is: ChangedOnDiskException. It is checked as the stream
    // opens and again right before the new text replaces the old: first the stamp, then, where
    // the stamp carries a digest, the bytes.
    static Ref<TextOutputStream> Create(const Ref<FolderItem>& item, const std::optional<FileStamp>& expected = {});
    ~TextOutputStream() override;
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    // Each raises IOException naming the file and the system's reason (ChangedOnDiskException
    // where another program changed or replaced the file), and the stream is closed: the file
    // holds its former text, or the message says where that is, and so does every file left
    // beside it; every later call raises the same exception again.
    void Write(std::string_view bytes);  // exactly these bytes, nothing added
    // The new text replaces the old, and gives back its Stamp. Where it did but something beside
    // it could not be done, Notice says what. A second Close gives the stamp again.
    FileStamp Close();

    // The stamp of the file as this stream left it, for the next stream on it to expect. After
    // Close, the new text's: taken in place right after the last change, before the flush to
    // disk, and by a rename right after the rename, so that a save by another program after it
    // shows. After a failure that put the former text back, the file's as put back. Otherwise
    // the stamp given to Create, or without one the file's as the stream opened it.
    const FileStamp& Stamp() const { return stamp_; }
    // What the user must be told of a file whose new text was written, where something beside it
    // was not done: a copy that could not be removed, privileges not given back. Else empty.
    const std::string& Notice() const { return notice_; }

private:
    enum class Way { Rename, InPlace };
    // Open: the file holds its former text. Overwriting: its bytes are changing, and the complete
    // copy of its former bytes is on disk beside it. Closed: after Close or a failure.
    enum class Phase { Open, Overwriting, Closed };
    // A file the stream made beside the one it writes. Its name is empty once no such file is
    // there: removed, or renamed over the file.
    struct Beside {
        std::string name;
        int fd = -1;
        const char* holds = "";  // in the words of a message
    };
    // What a stream that ends without closing did with the file's text, and with the files
    // beside it that could not be removed.
    enum class Text { Untouched, PutBack, NotPutBack };
    struct Stranded {
        std::string name;
        const char* holds;
        std::string reason;
    };
    struct Discarded {
        Text text = Text::Untouched;
        std::string reason;  // why the text could not be put back
        std::vector<Stranded> stranded;
    };

    explicit TextOutputStream(std::string path) : path_(std::move(path)) {}
    void Open(const std::optional<FileStamp>& expected);
    Way ChooseWay(const struct stat& opened);
    Beside MakeBeside(const char* holds);
    void BeginInPlace();
    void FinishInPlace();
    void FinishByRename();
    void CheckStamp();
    void CheckDigest(const Digest& digest);
    void Tell(const std::string& what);  // adds to the notice
    std::optional<std::string> Remove(Beside& beside);
    Discarded Discard();
    void CloseFiles();
    [[noreturn]] void Fail(const std::string& reason, bool changedOnDisk = false, bool whileWritten = false);

    std::string path_;  // as given
    std::string file_;  // the file written, where a link leads
    int fileFd_ = -1;
    Way way_ = Way::InPlace;
    Phase phase_ = Phase::Open;
    FileMetadata metadata_;  // the file's, as it was opened
    FileStamp opened_;
    Beside newText_;     // by a rename: the file that takes the old one's place
    Beside formerText_;  // in place: the copy of the file's former bytes
    std::optional<uint64_t> expectedDigest_;  // of the bytes that were read
    std::optional<Digest> writtenDigest_;     // of those written, where the file keeps whole seconds
    int64_t written_ = 0;
    FileStamp stamp_;
    std::string notice_;
    std::shared_ptr<RuntimeException> failure_;  // once it failed, raised again by every later call
};
