#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

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
// open there without a name, so that a test sees every file that a write leaves beside the
// document, named or not.
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

inline struct stat StatOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

inline std::string AttributeOf(const QString& path, const char* name) {
    char value[256];
    const ssize_t got = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return got < 0 ? "<none>" : std::string(value, static_cast<size_t>(got));
}

// Gives the file at `path` a second name, `other`. False, with errno set, where it cannot.
inline bool AddName(const QString& path, const QString& other) {
    return ::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0;
}

inline bool SetAttribute(const QString& path, const char* name, std::string_view value) {
    return ::setxattr(QFile::encodeName(path).constData(), name, value.data(), value.size(), 0) == 0;
}

// The names in a folder as the system's bytes, which Qt would not list where they are not UTF-8.
inline std::vector<std::string> RawEntriesOf(const QString& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(QFile::encodeName(folder).toStdString()))
        names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

// Returns once a change made now gets another change time than the file's last change had. Some
// systems keep these times coarse, to a few milliseconds, and a save that keeps the size and
// sets the modification time back is told from the file as it was by its change time alone.
// Each turn touches the folder, which takes the clock's time, so the wait ends as the clock
// goes on; where the file or the folder cannot be looked at or touched, the test fails at once.
inline void AfterLastChangeOf(const QString& path) {
    const auto changed = [](const QByteArray& name, int64_t& time) {
        struct stat info {};
        if (::stat(name.constData(), &info) != 0) return false;
        time = static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
        return true;
    };
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    int64_t last = 0, now = 0;
    ASSERT_TRUE(changed(file, last)) << file.constData() << ": " << std::strerror(errno);
    do {
        ASSERT_EQ(::utimensat(AT_FDCWD, folder.constData(), nullptr, 0), 0) << folder.constData() << ": "
                                                                             << std::strerror(errno);
        ASSERT_TRUE(changed(folder, now)) << folder.constData() << ": " << std::strerror(errno);
    } while (now <= last);
}
