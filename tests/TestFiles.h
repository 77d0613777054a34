#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "files/FolderItem.h"

// Real files for the tests, by their paths.
inline void WriteBytes(const QString& path, std::string_view bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

inline std::string ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<cannot be read>";
    return file.readAll().toStdString();
}

// Every name in a folder, hidden ones too, and "(unnamed)" for each file that this process holds
// open there without a name: Qt writes a replacement as such a file where the system allows it
// (O_TMPFILE), elsewhere under a temporary name. Either shows here while it exists.
inline QStringList EntriesOf(const QString& folder) {
    QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString prefix = QDir(folder).canonicalPath() + "/";
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(prefix) && target.endsWith(" (deleted)") && !target.mid(prefix.size()).contains('/'))
            entries.append("(unnamed)");
    }
    return entries;
}

inline Ref<FolderItem> Item(const QString& path) {
    return FolderItem::FromShellPath(String(QFile::encodeName(path).toStdString()));
}

inline mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

// Returns once a change made now gets another change time than the file's last change had. Some
// systems keep these times coarse, to a few milliseconds, and a save that keeps the size and
// sets the modification time back is told from the file as it was by its change time alone.
inline void AfterLastChangeOf(const QString& path) {
    const auto changed = [](const QByteArray& name) {
        struct stat info {};
        ::stat(name.constData(), &info);
        return static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    };
    const int64_t last = changed(QFile::encodeName(path));
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    do ::utimensat(AT_FDCWD, folder.constData(), nullptr, 0);
    while (changed(folder) <= last);
}
