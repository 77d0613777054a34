#include "FileStamp.h"

#include <sys/stat.h>

FileStamp StampOf(const struct stat& info) {
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return {true,
            static_cast<int64_t>(info.st_size),
            nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim),
            static_cast<uint64_t>(info.st_ino),
            static_cast<uint64_t>(info.st_dev),
            {}};
}

uint64_t DigestOf(std::string_view bytes, uint64_t digest) {
    for (const char byte : bytes) digest = (digest ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    return digest;
}
