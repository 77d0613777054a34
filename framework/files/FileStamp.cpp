#include "FileStamp.h"

#include <sys/stat.h>
#include <xxhash.h>

#include <new>

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

bool FileStamp::SameAs(const FileStamp& other) const {
    FileStamp withItsDigest = *this;
    withItsDigest.digest = other.digest;
    return withItsDigest == other;
}

void Digest::Free::operator()(XXH3_state_s* state) const { XXH3_freeState(state); }

Digest::Digest() : state_(XXH3_createState()) {
    if (!state_) throw std::bad_alloc();
    XXH3_64bits_reset(state_.get());
}

void Digest::Add(std::string_view bytes) { XXH3_64bits_update(state_.get(), bytes.data(), bytes.size()); }

uint64_t Digest::Value() const { return XXH3_64bits_digest(state_.get()); }

uint64_t DigestOf(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }
