#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <filesystem>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FaultSupport.h"
#include "TestFiles.h"
#include "files/TextInputStream.h"
#include "files/TextOutputStream.h"

using namespace std::string_literals;

namespace {
std::string Path(const Ref<FolderItem>& item) { return item ? item->ShellPath().Bytes() : "<nil>"; }

// Writes a file by the bytes of its name, which need not be UTF-8.
void WriteNamed(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}
}  // namespace

TEST(FolderItem, PathsAreCleanedAsBytesAndNamesSurviveThatAreNotUtf8) {
    QTemporaryDir dir;
    const std::string base = QFile::encodeName(dir.path()).toStdString();
    ASSERT_EQ(::chdir(base.c_str()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkpath("a/b"));  // the folder that ".." leaves

    EXPECT_EQ(Path(FolderItem::FromShellPath("a/./b/../c/")), base + "/a/c");
    EXPECT_EQ(Path(FolderItem::FromShellPath("/x//y/")), "/x/y");
    EXPECT_EQ(Path(FolderItem::FromShellPath("/")), "/");
    EXPECT_EQ(FolderItem::FromShellPath(""), nullptr);
    EXPECT_EQ(FolderItem::FromShellPath(String("a\0b"s)), nullptr);  // would name another file

    const std::string odd = base + "/caf\xE9 \xFF.rtf";  // Latin-1 bytes, not UTF-8
    ASSERT_EQ(::close(::creat(odd.c_str(), 0644)), 0);
    const Ref<FolderItem> item = FolderItem::FromShellPath(String(odd));
    EXPECT_TRUE(item->Exists());
    EXPECT_FALSE(item->Directory());
    EXPECT_EQ(item->DisplayName().Bytes(), "caf\xE9 \xFF.rtf");
    EXPECT_EQ(Path(item->Parent()), base);
    EXPECT_EQ(Path(item->Parent()->Child("caf\xE9 \xFF.rtf")), odd);
    EXPECT_EQ(FolderItem::FromShellPath("/")->Parent(), nullptr);
    EXPECT_EQ(Path(FolderItem::FromShellPath("/x")->Parent()), "/");
    ::unlink(odd.c_str());  // Qt could not remove it by a name that is not UTF-8
    ASSERT_EQ(::chdir("/"), 0);
}

TEST(FolderItem, LinksAreFollowedAndTheStampShowsAChange) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.rtfd"));
    WriteBytes(dir.filePath("file.rtf"), "12345");
    ASSERT_TRUE(QFile::link(dir.filePath("folder.rtfd"), dir.filePath("link.rtfd")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone.rtf"), dir.filePath("dangling.rtf")));

    EXPECT_TRUE(Item(dir.filePath("folder.rtfd"))->Directory());
    EXPECT_TRUE(Item(dir.filePath("link.rtfd"))->Directory());
    EXPECT_FALSE(Item(dir.filePath("file.rtf"))->Directory());
    EXPECT_FALSE(Item(dir.filePath("dangling.rtf"))->Exists());
    EXPECT_FALSE(Item(dir.filePath("dangling.rtf"))->Stamp().exists);

    const Ref<FolderItem> file = Item(dir.filePath("file.rtf"));
    const FileStamp before = file->Stamp();
    EXPECT_TRUE(before.exists);
    EXPECT_EQ(before.size, 5);
    EXPECT_EQ(file->Stamp(), before);
    // The same size, saved a second later: only the time tells.
    const struct timespec later[2] = {{0, UTIME_OMIT}, {before.modified / 1'000'000'000 + 1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath("file.rtf")).constData(), later, 0), 0);
    EXPECT_NE(file->Stamp(), before);
}

// A path means the file that the system opens by it. In `projects/current/../notes.rtf`, where
// `current` is a link to `archive/old`, the `..` leaves `old`, not the link: the file is
// `archive/notes.rtf`, and `projects/notes.rtf` is another document. Only a link before a `..`
// is resolved; one at the end stays a link, and a file that does not exist yet keeps its path.
TEST(FolderItem, APathMeansTheFileTheSystemOpensByIt) {
    QTemporaryDir dir;
    const std::string root = QFile::encodeName(QDir(dir.path()).canonicalPath()).toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkpath("projects"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("archive/old"));
    ASSERT_EQ(::symlink("../archive/old", (root + "/projects/current").c_str()), 0);
    ASSERT_EQ(::symlink("notes.rtf", (root + "/archive/link.rtf").c_str()), 0);
    WriteNamed(root + "/projects/notes.rtf", "the other document");
    WriteNamed(root + "/archive/notes.rtf", "the document");
    ASSERT_EQ(::chdir((root + "/projects").c_str()), 0);

    const struct {
        std::string given, path, name, parent;
    } cases[] = {
        {root + "/projects/current/../notes.rtf", root + "/archive/notes.rtf", "notes.rtf", root + "/archive"},
        {root + "/projects/current/..", root + "/archive", "archive", root},
        {root + "/projects/current/../link.rtf", root + "/archive/link.rtf", "link.rtf", root + "/archive"},
        {root + "/projects/current/../new.rtf", root + "/archive/new.rtf", "new.rtf", root + "/archive"},
        {"current/../notes.rtf", root + "/archive/notes.rtf", "notes.rtf", root + "/archive"},  // from projects
        {"../archive/old/../notes.rtf", root + "/archive/notes.rtf", "notes.rtf", root + "/archive"},
        // A folder that is not there has no parent to go back to: the system finds nothing.
        {root + "/projects/gone/../notes.rtf", root + "/projects/gone/../notes.rtf", "notes.rtf",
         root + "/projects/gone/.."},
        // Without `..` the path is the one given, cleaned of `.` and repeated separators.
        {root + "/projects/current", root + "/projects/current", "current", root + "/projects"},
        {root + "//projects/./current/.//notes.rtf/", root + "/projects/current/notes.rtf", "notes.rtf",
         root + "/projects/current"},
        {"./notes.rtf", root + "/projects/notes.rtf", "notes.rtf", root + "/projects"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        const Ref<FolderItem> item = FolderItem::FromShellPath(String(c.given));
        EXPECT_EQ(Path(item), c.path);
        EXPECT_EQ(item->DisplayName().Bytes(), c.name);
        EXPECT_EQ(Path(item->Parent()), c.parent);
        struct stat given {}, named {};
        const bool found = ::stat(c.given.c_str(), &given) == 0;
        EXPECT_EQ(item->Exists(), found);
        if (found) {
            EXPECT_TRUE(::stat(c.path.c_str(), &named) == 0 && named.st_ino == given.st_ino);
        }
        EXPECT_EQ(item->IsRegularFile(), ::lstat(c.given.c_str(), &given) == 0 && S_ISREG(given.st_mode));
    }
    EXPECT_EQ(TextInputStream::Open(FolderItem::FromShellPath("current/../notes.rtf"))->ReadAll().Bytes(),
              "the document");
    ASSERT_EQ(::chdir("/"), 0);
}

TEST(TextInputStream, ReadsTheBytesAsTheyAreAndNamesTheFileWhenItCannot) {
    QTemporaryDir dir;
    const std::string bytes = "{\\rtf1\r\n\xC3\xA0\xFF\xFE\0\0\\margl1440}"s;
    WriteBytes(dir.filePath("doc.rtf"), bytes);
    WriteBytes(dir.filePath("empty.rtf"), "");

    Ref<TextInputStream> stream = TextInputStream::Open(Item(dir.filePath("doc.rtf")));
    EXPECT_EQ(stream->ReadAll().Bytes(), bytes);
    EXPECT_EQ(stream->ReadAll().Bytes(), "");  // nothing is left
    stream->Close();
    EXPECT_EQ(TextInputStream::Open(Item(dir.filePath("empty.rtf")))->ReadAll().Bytes(), "");

    const std::string missing = QFile::encodeName(dir.filePath("missing.rtf")).toStdString();
    EXPECT_EQ(FailureOf([&] { TextInputStream::Open(Item(dir.filePath("missing.rtf"))); }),
              "IOException: Cannot open " + missing + " for reading: No such file or directory");
    EXPECT_EQ(FailureOf([&] { TextInputStream::Open(nullptr); }).substr(0, 19), "NilObjectException:");
    EXPECT_EQ(FailureOf([&] { TextInputStream::Open(Item(dir.path())); }).substr(0, 12), "IOException:");
    EXPECT_EQ(FailureOf([&] { stream->ReadAll(); }).substr(0, 12), "IOException:");  // closed
    // A name that is not UTF-8 names that file only, never one that looks alike as text.
    WriteBytes(dir.filePath("caf\xEF\xBF\xBD.rtf"), "the wrong file");
    const Ref<FolderItem> latin1 =
        FolderItem::FromShellPath(String(QFile::encodeName(dir.path()).toStdString() + "/caf\xE9.rtf"));
    EXPECT_EQ(FailureOf([&] { TextInputStream::Open(latin1); }).substr(0, 12), "IOException:");
}

TEST(TextInputStream, OnlyARegularFileIsReadAndItsNameIsBytes) {
    QTemporaryDir dir;
    const std::string base = QFile::encodeName(dir.path()).toStdString();
    ASSERT_EQ(::mkfifo((base + "/x.rtf").c_str(), 0644), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("z.rtf")));
    for (const char* name : {"x.rtf", "z.rtf"}) {
        SCOPED_TRACE(name);
        const std::string path = base + "/" + name;
        EXPECT_EQ(FailureOf([&] { TextInputStream::Open(FolderItem::FromShellPath(String(path))); }),
                  "IOException: Cannot open " + path + " for reading: it is not a regular file");
    }

    const std::string odd = base + "/caf\xE9.rtf";
    WriteNamed(odd, "{\\rtf1 caf\\'e9}");
    EXPECT_EQ(TextInputStream::Open(FolderItem::FromShellPath(String(odd)))->ReadAll().Bytes(), "{\\rtf1 caf\\'e9}");
    Ref<TextOutputStream> stream = TextOutputStream::Create(FolderItem::FromShellPath(String(odd)));
    stream->Write("{\\rtf1 new}");
    stream->Close();
    EXPECT_EQ(TextInputStream::Open(FolderItem::FromShellPath(String(odd)))->ReadAll().Bytes(), "{\\rtf1 new}");
    // The pipe, the link and the document, no other file; Qt would not list a name that is not UTF-8.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base), {}), 3);
    ::unlink(odd.c_str());  // Qt could not remove it by a name that is not UTF-8
}
