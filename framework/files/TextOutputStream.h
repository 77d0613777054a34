#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "FolderItem.h"

// Writes a file's new text so that it stays the same file: its owner, group, mode, extended
// attributes and hard links survive, and a symbolic link keeps leading to it (the file it leads
// to gets the text). Names are the bytes of the path, so a name that is not UTF-8 is no obstacle.
//
// Where a new file can carry everything the old one has (it has one link only, and the owner,
// group, extended attributes and mode could all be set on a new file), the text goes to a
// temporary file beside it, which Close flushes and renames over it. Otherwise the file is
// rewritten in place: before its first byte changes, a complete copy of its bytes is written
// beside it and flushed; Close sets the new length, flushes and removes the copy. After a
// failure the copy's bytes are put back, and where even that fails the copy is kept, named in
// the message. A stream that is not closed leaves the file as it was.
class TextOutputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be written: it must exist, be a regular file the user may write,
    // and lie in a folder where a file can be made beside it. With a stamp given, a file that no
    // longer matches it, checked again right before the new text replaces the old, is left as
    // it is.
    static Ref<TextOutputStream> Create(const Ref<FolderItem>& item, const std::optional<FileStamp>& expected = {});
    ~TextOutputStream() override;

    // Each raises IOException naming the file and the system's reason; the stream is then
    // discarded and the file holds its former text (or the message says where that is).
    void Write(std::string_view bytes);  // exactly these bytes, nothing added
    void Close();                        // the new text replaces the old; a second Close does nothing

private:
    explicit TextOutputStream(std::string path) : path_(std::move(path)) {}
    void Open(const std::optional<FileStamp>& expected);
    bool CarryOver(const struct stat& original);
    void BeginInPlace();
    void CheckUnchanged();
    std::string Discard();
    [[noreturn]] void Fail(const std::string& reason);

    std::string path_;  // as given, for the messages
    std::string file_;  // the file written, where a link leads
    std::string aside_;  // the temporary file beside it: the new text, or a copy of the old
    int fileFd_ = -1, asideFd_ = -1;
    FileStamp opened_;
    bool renaming_ = false, overwriting_ = false, closed_ = false;
    int64_t written_ = 0;
};
