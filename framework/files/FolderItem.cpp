#include "FolderItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "runtime/Desktop.h"
#include "ui/Picture.h"

namespace {
QString ToQt(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string FromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

Ref<FolderItem> FolderItem::FromShellPath(const String& path) {
    QString cleaned = QDir::cleanPath(QFileInfo(ToQt(path.Bytes())).absoluteFilePath());
    return Ref<FolderItem>(new FolderItem(FromQt(cleaned)));
}

bool FolderItem::Directory() const { return QFileInfo(ToQt(path_)).isDir(); }
bool FolderItem::Exists() const { return QFileInfo::exists(ToQt(path_)); }
String FolderItem::ShellPath() const { return String(path_); }
String FolderItem::DisplayName() const { return String(FromQt(QFileInfo(ToQt(path_)).fileName())); }

Ref<FolderItem> FolderItem::Parent() const {
    if (path_ == "/") return nullptr;
    return FromShellPath(String(FromQt(QFileInfo(ToQt(path_)).path())));
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
    return FromShellPath(String(path_ + "/" + name.Bytes()));
}

void FolderItem::Launch(bool /*activate*/) const { CurrentDesktop().Launch(String(path_)); }

Ref<Picture> FolderItem::OpenAsPicture() const {
    QImage image;
    if (!image.load(ToQt(path_))) return nullptr;
    return std::make_shared<Picture>(std::move(image));
}
