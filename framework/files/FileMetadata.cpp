#include "FileMetadata.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
const char* const kAccessControlList = "system.posix_acl_access";
const char* const kCapability = "security.capability";
constexpr mode_t kSetId = S_ISUID | S_ISGID;

// The names of a file's extended attributes; none where the file system keeps none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
    std::string list(static_cast<size_t>(size), '\0');
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got < 0) return std::nullopt;
    std::vector<std::string> names;
    for (size_t at = 0; at < static_cast<size_t>(got); at += names.back().size() + 1)
        names.emplace_back(list.c_str() + at);
    return names;
}

bool SetAttribute(int fd, const char* name, const std::string& value) {
    return ::fsetxattr(fd, name, value.data(), value.size(), 0) == 0;
}

bool RemoveAttribute(int fd, const char* name) {
    return ::fremovexattr(fd, name) == 0 || errno == ENODATA || errno == ENOTSUP;
}

bool HasAttribute(int fd, const char* name) { return ::fgetxattr(fd, name, nullptr, 0) >= 0; }

// Of this process's effective capabilities.
bool Capable(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    return ::syscall(SYS_capget, &header, data) == 0 &&
           (data[capability / 32].effective & (1u << (capability % 32))) != 0;
}

bool InGroup(gid_t group) {
    if (::getegid() == group) return true;
    std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return count > 0 && std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

mode_t ModeOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_mode & 07777 : mode_t(-1);
}
}  // namespace

std::optional<FileMetadata> FileMetadata::Of(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0) return std::nullopt;
    FileMetadata metadata{info.st_uid, info.st_gid, info.st_mode & 07777, {}};
    const auto names = AttributeNames(fd);
    if (!names) return std::nullopt;
    for (const std::string& name : *names) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string value(static_cast<size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got < 0) return std::nullopt;
        value.resize(static_cast<size_t>(got));
        metadata.attributes.emplace_back(name, std::move(value));
    }
    return metadata;
}

const std::string* FileMetadata::Attribute(const char* name) const {
    const auto found = std::find_if(attributes.begin(), attributes.end(),
                                    [name](const auto& attribute) { return attribute.first == name; });
    return found == attributes.end() ? nullptr : &found->second;
}

bool FileMetadata::MayGivePrivileges() const {
    if ((mode & S_ISGID) && !InGroup(group) && !Capable(CAP_FSETID)) return false;
    return !Attribute(kCapability) || Capable(CAP_SETFCAP);
}

// The owner comes after the attributes, which only the owner may set, and before the mode: a
// change of owner clears the set-ID bits, even for a privileged process. Setting no permissions
// at all tells whether the mode may be set once the owner is given.
bool FileMetadata::GiveAllButPermissions(int fd) const {
    const auto inherited = AttributeNames(fd);
    if (!inherited) return false;
    for (const std::string& name : *inherited)
        if (!Attribute(name.c_str()) && ::fremovexattr(fd, name.c_str()) != 0) return false;
    for (const auto& [name, value] : attributes)
        if (name != kCapability && !SetAttribute(fd, name.c_str(), value)) return false;
    struct stat made;
    return ::fchown(fd, owner, group) == 0 && ::fchmod(fd, 0) == 0 && ::fstat(fd, &made) == 0 &&
           made.st_uid == owner && made.st_gid == group;
}

bool FileMetadata::GivePermissions(int fd) const {
    return ::fchmod(fd, mode & ~kSetId) == 0 && ModeOf(fd) == (mode & ~kSetId);
}

FileMetadata::Privileges FileMetadata::GivePrivilegesBack(int fd) const {
    struct stat now;
    if (::fstat(fd, &now) != 0) return Privileges::NotGiven;
    const mode_t lacking = mode & kSetId & ~now.st_mode;
    const std::string* capability = Attribute(kCapability);
    const bool lacksCapability = capability && !HasAttribute(fd, kCapability);
    if (!lacking && !lacksCapability) return Privileges::Kept;
    if (now.st_uid != owner || now.st_gid != group || (now.st_mode & 07777 & ~kSetId) != (mode & ~kSetId))
        return Privileges::OthersActed;
    bool given = !lacksCapability || SetAttribute(fd, kCapability, *capability);
    given = (!lacking || ::fchmod(fd, mode) == 0) && given;
    // The system may clear the set-group-ID bit without a word.
    return given && ModeOf(fd) == mode ? Privileges::Kept : Privileges::NotGiven;
}

bool FileMetadata::GiveReadersTo(int fd) const {
    const std::string* list = Attribute(kAccessControlList);
    if ((list ? SetAttribute(fd, kAccessControlList, *list) : RemoveAttribute(fd, kAccessControlList)) &&
        ::fchown(fd, owner, group) == 0 && ::fchmod(fd, (mode & 0777) | S_IRUSR) == 0)
        return true;
    // A privileged writer may have given the copy away already: it takes it back first.
    return ::fchown(fd, ::geteuid(), ::getegid()) == 0 && ::fchmod(fd, 0600) == 0 &&
           RemoveAttribute(fd, kAccessControlList);
}
