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
    // refused before it is opened: opening a device can act on it (a serial line's reset, a
    // tape's rewind), and a pipe or a device could keep a reader waiting, or never end.
    static Ref<TextInputStream> Open(const Ref<FolderItem>& item);
    ~TextInputStream() override;

    // The rest of the file, in a string with room for `room` more bytes, so that the caller's
    // edit of that size needs no second copy of the text. IOException when reading fails or
    // the stream is closed; std::bad_alloc when the text cannot be held in memory.
    String ReadAll(size_t room = 0);
    void Close();

private:
    TextInputStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    [[noreturn]] void Fail(const std::string& what) const;

    int fd_;
    std::string path_;
};
