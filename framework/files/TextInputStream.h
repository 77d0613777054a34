#pragma once

#include <memory>
#include <string>

#include "FolderItem.h"
#include "runtime/String.h"

class QFile;

// Reads a file as the bytes it holds: nothing is decoded or converted.
class TextInputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be opened.
    static Ref<TextInputStream> Open(const Ref<FolderItem>& item);
    ~TextInputStream() override;

    String ReadAll();  // the rest of the file; IOException when reading fails or the stream is closed
    void Close();

private:
    TextInputStream(std::unique_ptr<QFile> file, std::string path);
    [[noreturn]] void Fail(const std::string& what) const;

    std::unique_ptr<QFile> file_;
    std::string path_;
};
