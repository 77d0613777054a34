#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What makes a file the same file besides its bytes and its names: its owner, group, mode
// (set-ID and sticky bits included) and extended attributes, its access control list
// (system.posix_acl_access) and its file capability (security.capability) among them. The set-ID
// bits and the capability are its privileges: a write may take them, and the system lets only
// some give them.
struct FileMetadata {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;  // the permission bits, set-ID and sticky bits included
    std::vector<std::pair<std::string, std::string>> attributes;  // by name

    // Nullopt, with errno set, where they cannot be read.
    static std::optional<FileMetadata> Of(int fd);

    // Whether this process may give a file of this owner its privileges, once it may set its
    // mode: the system keeps the set-group-ID bit only for a member of the group or a process
    // with the power to, and lets only a process with the power set a capability.
    bool MayGivePrivileges() const;

    // Gives `fd`, a file this process has just made, the extended attributes but the capability
    // (and none that it was born with, such as a folder's default access control list), then
    // the owner and group; it keeps no permissions at all. False where any of it cannot be
    // given, or where its mode could not then be set, as when another user's file is written by
    // someone who may not give files away.
    bool GiveAllButPermissions(int fd) const;
    // The mode without the set-ID bits.
    bool GivePermissions(int fd) const;

    enum class Privileges { Kept, NotGiven, OthersActed };
    // Gives `fd` back the privileges that it lacks now, where its owner, group and the rest of its
    // mode are still these: otherwise another program acted on it, and it is given nothing.
    // NotGiven where the system refused some of it.
    Privileges GivePrivilegesBack(int fd) const;

    // Lets exactly those read `fd`, a copy of this file's bytes that this process made, who may
    // read the file: it gets the file's access control list and none other, its owner and
    // group, and its mode with read for the owner and without the set-ID bits. Where any of it
    // cannot be given, the copy is made the writer's own, with mode 600 and no access control
    // list; false, with errno set, where even that fails.
    bool GiveReadersTo(int fd) const;

private:
    const std::string* Attribute(const char* name) const;
};
