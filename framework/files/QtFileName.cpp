#include "QtFileName.h"

#include <QFile>

#include "runtime/RuntimeException.h"

QString QtFileName(const FolderItem& item) {
    const QByteArray path = QByteArray::fromStdString(item.ShellPath().Bytes());
    QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) != path)
        throw IOException("Cannot open " + path.toStdString() + ": the name is not valid UTF-8");
    return name;
}
