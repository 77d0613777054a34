#pragma once

#include <sys/types.h>

#include <functional>
#include <string_view>

// The bytes of an open file, read and written by their place in it, in pieces, on the stack: a
// stream that puts a file's former text back while an exception unwinds must not allocate.

// Hands every byte from `at` to the end to `take`, a piece at a time, until `take` says no.
// False, with errno set, where reading fails or `take` said no.
bool ReadPieces(int fd, off_t at, const std::function<bool(std::string_view)>& take);

// False, with errno set, where the system takes less than all of it.
bool WriteAt(int fd, std::string_view bytes, off_t at);
