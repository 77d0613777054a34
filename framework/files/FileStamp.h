#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

struct stat;
struct XXH3_state_s;

// What a file looked like on disk at one moment: enough to tell that another program has
// saved it since, whether it wrote a new file in its place or wrote into it, and even when it
// kept the size and set the modification time back. Setting a time back changes the change
// time, which no program can choose.
//
// A file system that keeps whole seconds only cannot tell a save of the same size within the
// same second, nor a file deleted and made again with the same inode: there the stamp carries a
// digest of the bytes, and they are compared before they are replaced.
struct FileStamp {
    bool exists = false;
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds since the epoch
    int64_t changed = 0;   // of the file's contents or attributes, nanoseconds since the epoch
    uint64_t inode = 0;
    uint64_t device = 0;
    std::optional<uint64_t> digest;  // of the bytes, only where the times are whole seconds

    bool WholeSeconds() const { return modified % 1'000'000'000 == 0 && changed % 1'000'000'000 == 0; }
    // The same file, as it was: everything but the digest is equal.
    bool SameAs(const FileStamp& other) const;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& info);  // without a digest

// The 64-bit XXH3 digest of bytes given in pieces: the same as that of all of them at once. It
// is no cryptographic hash: it tells another program's save from the bytes that were read, not
// bytes made on purpose to look alike.
class Digest {
public:
    Digest();
    void Add(std::string_view bytes);
    uint64_t Value() const;

private:
    struct Free {
        void operator()(XXH3_state_s* state) const;
    };
    std::unique_ptr<XXH3_state_s, Free> state_;
};

uint64_t DigestOf(std::string_view bytes);
