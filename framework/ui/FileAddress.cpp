#include "FileAddress.h"

Ref<FolderItem> FolderItemOfFileAddress(const QUrl& address) {
    if (!address.isLocalFile()) return nullptr;
    if (!address.host().isEmpty() && address.host() != "localhost") return nullptr;
    const QByteArray path = QByteArray::fromPercentEncoding(address.path(QUrl::FullyEncoded).toLatin1());
    if (!path.startsWith('/')) return nullptr;
    return FolderItem::FromShellPath(String(path.toStdString()));
}

QUrl FileAddressOf(const String& path) {
    const QByteArray bytes = QByteArray::fromStdString(path.Bytes());
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}
