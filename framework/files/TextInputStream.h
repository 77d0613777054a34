#pragma once

#include <string>

#include "FolderItem.h"
#include "runtime/String.h"

// Reads a regular file as the bytes it holds: nothing is decoded or converted. The file is
// opened by the bytes of its path, so a name that is not valid UTF-8 is no obstacle.
class TextInputStream : public Object {
public:
    // Raises NilObjectException for a nil item, IOException naming the file and the system's
    // reason when it cannot be opened. Anything but a regular file (a link is followed) is
    // refused at once: a pipe or a device could keep a reader waiting, or never end.
    static Ref<TextInputStream> Open(const Ref<FolderItem>& item);
    ~TextInputStream() override;

    String ReadAll();  // the rest of the file; IOException when reading fails or the stream is closed
    void Close();

private:
    TextInputStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    [[noreturn]] void Fail(const std::string& what) const;

    int fd_;
    std::string path_;
};
