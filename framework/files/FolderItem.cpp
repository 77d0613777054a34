#include "FolderItem.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "runtime/Desktop.h"
#include "ui/Picture.h"

namespace {
bool StatOf(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }
}  // namespace

// A ".." leaves the folder that the system reached, which is not the one its letters name where
// a link led there. So the part of the path up to its last ".." is resolved by the system, and
// the rest is kept as given: a link at its end stays a link, and a file that is not there yet
// still has a path. Where that part resolves to nothing, nothing is there, and it is kept too.
Ref<FolderItem> FolderItem::FromShellPath(const String& path) {
    if (path.IsEmpty() || path.View().find('\0') != std::string_view::npos) return nullptr;
    const std::string given = std::filesystem::absolute(path.Bytes()).native();
    std::string cleaned;  // every name after a separator; empty for the root
    size_t up = 0;        // the length of the part that ends with the last ".."
    for (size_t at = 0; at <= given.size();) {
        const size_t end = std::min(given.find('/', at), given.size());
        const std::string_view name = std::string_view(given).substr(at, end - at);
        if (!name.empty() && name != ".") cleaned.append("/").append(name);
        if (name == "..") up = cleaned.size();
        at = end + 1;
    }
    if (char* resolved = up > 0 ? ::realpath(cleaned.substr(0, up).c_str(), nullptr) : nullptr) {
        const std::string folder = resolved;
        std::free(resolved);
        cleaned = (folder == "/" ? "" : folder) + cleaned.substr(up);
    }
    return Ref<FolderItem>(new FolderItem(cleaned.empty() ? "/" : std::move(cleaned)));
}

bool FolderItem::Directory() const {
    struct stat info;
    return StatOf(path_, info) && S_ISDIR(info.st_mode);
}

bool FolderItem::Exists() const {
    struct stat info;
    return StatOf(path_, info);
}

bool FolderItem::IsRegularFile() const {
    struct stat info;
    return ::lstat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

String FolderItem::ShellPath() const { return String(path_); }

String FolderItem::DisplayName() const {
    if (path_ == "/") return String(path_);
    return String(path_.substr(path_.rfind('/') + 1));
}

Ref<FolderItem> FolderItem::Parent() const {
    if (path_ == "/") return nullptr;
    const size_t slash = path_.rfind('/');
    return Ref<FolderItem>(new FolderItem(slash == 0 ? "/" : path_.substr(0, slash)));
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
    return FromShellPath(String(path_ + "/" + name.Bytes()));
}

FileStamp FolderItem::Stamp() const {
    struct stat info;
    if (!StatOf(path_, info)) return {};
    return StampOf(info);
}

void FolderItem::Launch(bool /*activate*/) const { CurrentDesktop().Launch(String(path_)); }

Ref<Picture> FolderItem::OpenAsPicture() const {
    QImage image;
    if (!image.load(QFile::decodeName(QByteArray::fromStdString(path_)))) return nullptr;
    return std::make_shared<Picture>(std::move(image));
}
