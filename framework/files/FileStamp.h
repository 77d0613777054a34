#pragma once

#include <cstdint>

// What a file looked like on disk at one moment: enough to tell that another program has
// saved it since.
struct FileStamp {
    bool exists = false;
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds since the epoch

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
