#pragma once

#include <cstdint>

struct stat;

// What a file looked like on disk at one moment: enough to tell that another program has
// saved it since, whether it wrote a new file in its place or wrote into it, and even when it
// kept the size and set the modification time back. Setting a time back changes the change
// time, which no program can choose.
struct FileStamp {
    bool exists = false;
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds since the epoch
    int64_t changed = 0;   // of the file's contents or attributes, nanoseconds since the epoch
    uint64_t inode = 0;
    uint64_t device = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& info);
