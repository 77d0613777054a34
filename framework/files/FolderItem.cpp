#include "FolderItem.h"

#include <sys/stat.h>

#include <QFile>
#include <filesystem>

#include "runtime/Desktop.h"
#include "ui/Picture.h"

namespace {
bool StatOf(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }
}  // namespace

Ref<FolderItem> FolderItem::FromShellPath(const String& path) {
    if (path.IsEmpty() || path.View().find('\0') != std::string_view::npos) return nullptr;
    std::string cleaned = std::filesystem::absolute(path.Bytes()).lexically_normal().native();
    while (cleaned.size() > 1 && cleaned.back() == '/') cleaned.pop_back();
    return Ref<FolderItem>(new FolderItem(std::move(cleaned)));
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
