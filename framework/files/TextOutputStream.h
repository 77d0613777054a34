#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "FolderItem.h"

class QSaveFile;

// Writes a file anew without ever writing in place: the bytes go to a temporary file in the
// same folder, which Close flushes to disk, gives the original's permission bits and renames
// over the original (over the file a symbolic link leads to, not the link). Until then, and
// after any failure, the original stays as it was and no temporary file remains.
class TextOutputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be created; a file the user may not write is refused.
    static Ref<TextOutputStream> Create(const Ref<FolderItem>& item);
    ~TextOutputStream() override;  // a stream that was not closed replaces nothing

    // Each raises IOException naming the file and the system's reason; the stream is then
    // discarded and the original stays as it was.
    void Write(std::string_view bytes);  // exactly these bytes, nothing added
    void Close();                        // replaces the original; a second Close does nothing

private:
    TextOutputStream(std::unique_ptr<QSaveFile> file, std::string path);
    [[noreturn]] void Fail(const std::string& reason);

    std::unique_ptr<QSaveFile> file_;
    std::string path_;
    bool closed_ = false;
};
