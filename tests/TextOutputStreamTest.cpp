#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "FaultSupport.h"
#include "TestFiles.h"
#include "files/TextOutputStream.h"

using namespace std::string_literals;

TEST(TextOutputStream, WritesATemporaryFileBesideTheOriginalAndRenamesItOverTheOriginal) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    WriteBytes(path, "the original");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0604), 0);
    const ino_t original = StatOf(path).st_ino;

    Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
    stream->Write("new\0"s);
    stream->Write("");
    stream->Write("\r\ntext");
    EXPECT_EQ(ReadBytes(path), "the original");  // nothing is written in place
    const QStringList whileWriting = EntriesOf(dir.path());
    EXPECT_EQ(whileWriting.size(), 2);  // the document and the temporary file beside it
    EXPECT_TRUE(whileWriting.contains("doc.rtf"));
    stream->Close();
    stream->Close();

    EXPECT_EQ(ReadBytes(path), "new\0\r\ntext"s);
    EXPECT_NE(StatOf(path).st_ino, original);  // renamed over it
    EXPECT_EQ(ModeOf(path), 0604u);
    EXPECT_EQ(EntriesOf(dir.path()), QStringList{"doc.rtf"});
}

TEST(TextOutputStream, ALinkStaysALinkAndItsTargetGetsTheText) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/target.rtf");
    WriteBytes(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link("real/target.rtf", dir.filePath("link.rtf")));

    Ref<TextOutputStream> stream = TextOutputStream::Create(Item(dir.filePath("link.rtf")));
    stream->Write("new");
    EXPECT_EQ(EntriesOf(dir.filePath("real")).size(), 2);  // the temporary file is beside the target
    stream->Close();

    EXPECT_EQ(QFileInfo(dir.filePath("link.rtf")).symLinkTarget(), target);
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(EntriesOf(dir.filePath("real")), QStringList{"target.rtf"});
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"link.rtf", "real"}));
}

TEST(TextOutputStream, AStreamThatIsNotClosedOrCannotBeMadeReplacesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    WriteBytes(path, "the original");

    Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
    stream->Write("half a document");
    stream.reset();
    EXPECT_EQ(ReadBytes(path), "the original");
    EXPECT_EQ(EntriesOf(dir.path()), QStringList{"doc.rtf"});

    // With a second name the document itself is written, and gets its text back.
    ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
    stream = TextOutputStream::Create(Item(path));
    stream->Write("half a document");
    EXPECT_EQ(ReadBytes(path).substr(0, 15), "half a document");
    stream.reset();
    EXPECT_EQ(ReadBytes(path), "the original");
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "other.rtf"}));
    ASSERT_TRUE(QFile::remove(dir.filePath("other.rtf")));

    const std::string noFolder = QFile::encodeName(dir.filePath("no/doc.rtf")).toStdString();
    EXPECT_EQ(FailureOf([&] { TextOutputStream::Create(Item(dir.filePath("no/doc.rtf"))); }),
              "IOException: Cannot write " + noFolder + ": No such file or directory");
    EXPECT_EQ(FailureOf([&] { TextOutputStream::Create(nullptr); }).substr(0, 19), "NilObjectException:");
    const Ref<FolderItem> latin1 =
        FolderItem::FromShellPath(String(QFile::encodeName(dir.path()).toStdString() + "/caf\xE9.rtf"));
    EXPECT_EQ(FailureOf([&] { TextOutputStream::Create(latin1); }).substr(0, 12), "IOException:");
    EXPECT_EQ(EntriesOf(dir.path()), QStringList{"doc.rtf"});
}

// Another program's save that the stamp taken at the read does not show is refused, checked
// again right before the new text replaces the old: before the rename, and before the first byte
// of a rewrite in place (a document with a second name is rewritten in place).
TEST(TextOutputStream, AFileSavedByAnotherProgramSinceItsStampIsLeftAsItIs) {
    struct Case {
        const char* name;
        bool secondName;
        bool timeKept;  // the size and the modification time stay: only the change time or the inode tells
        void (*save)(const QString& path);
    };
    // As long as the original: with its time kept, only the change time or the inode tells.
    const auto saveAsNewFile = [](const QString& path) {
        WriteBytes(path + ".new", "other's text");
        ASSERT_EQ(::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()), 0);
    };
    const auto saveInPlace = [](const QString& path) { WriteBytes(path, "other's text"); };
    const auto append = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(" and more");
    };
    const Case cases[] = {
        {"saved as a new file", false, true, saveAsNewFile},
        {"saved in place", false, true, saveInPlace},
        {"appended to while written", false, false, append},
        {"saved in place before a rewrite in place", true, true, saveInPlace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        const QByteArray name = QFile::encodeName(path);
        WriteBytes(path, "the original");
        QStringList entries{"doc.rtf"};
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
            entries.append("other.rtf");
        }
        struct stat before {};
        ASSERT_EQ(::stat(name.constData(), &before), 0);
        const FileStamp read = Item(path)->Stamp();
        Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path), read);
        if (!c.secondName) stream->Write("the new text");

        if (c.timeKept) AfterLastChangeOf(path);
        c.save(path);
        if (c.timeKept) {
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
        }
        const std::string left = ReadBytes(path);

        const std::string failure = FailureOf([&] {
            if (c.secondName) stream->Write("the new text");
            stream->Close();
        });
        EXPECT_EQ(failure, "ChangedOnDiskException: Cannot write " + name.toStdString() +
                               ": another program changed it since it was read; it was left as it is");
        EXPECT_EQ(ReadBytes(path), left);
        EXPECT_EQ(EntriesOf(dir.path()), entries);
        EXPECT_EQ(FailureOf([&] { TextOutputStream::Create(Item(path), read); }), failure);
    }
}

// A rewrite in place that fails part way, and whose putting back fails too, leaves the complete
// copy of the old text beside the document and says where it is.
TEST(TextOutputStream, ACopyThatCannotBePutBackIsKeptAndNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    const std::string original = "{\\rtf1\\margl1800 " + std::string(64 * 1024, 'x') + "}";
    WriteBytes(path, original);
    ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);

    const ChildOutcome outcome = InChild([&]() -> std::string {
        Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
        stream->Write(std::string(32 * 1024, 'n'));
        // From here on no file of the child's may grow beyond 16 KB, the document included.
        if (!LimitFileSizes(16 * 1024)) return "the child could not limit its files";
        try {
            stream->Write("more");
        } catch (const IOException& failure) {
            return failure.what();
        }
        return "no failure";
    });

    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    const QStringList entries = EntriesOf(dir.path());
    ASSERT_EQ(entries.size(), 3) << entries.join(", ").toStdString();
    const QString copy = dir.filePath(entries[1]);
    EXPECT_TRUE(entries[1].startsWith("doc.rtf.")) << entries[1].toStdString();
    EXPECT_EQ(outcome.report, "Cannot write " + QFile::encodeName(path).toStdString() +
                                  ": File too large; its former text could not be put back (File too large), and a "
                                  "copy of it is kept in " + QFile::encodeName(copy).toStdString());
    EXPECT_TRUE(ReadBytes(copy) == original) << "the copy is not the document's former text";
}

// A rewrite in place that is killed leaves the copy of the former text beside the document. It
// belongs to the document's owner, with the document's mode, so that the owner can copy it back
// over the document, which brings back every name of it.
TEST(TextOutputStream, TheCopyLeftByAKilledRewriteBringsTheDocumentBackForItsOwner) {
    struct Case {
        const char* name;
        uid_t owner;  // 0: the test's own user
        gid_t group;
        mode_t mode;
    };
    const Case cases[] = {
        {"one's own document", 0, 0, 0644},
        {"another user's document", 4242, 4343, 0640},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.owner != 0 && ::geteuid() != 0) {
            skipped.Skip(c.name, "a document of another user can only be made by root");
            continue;
        }
        QTemporaryDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        const QString path = dir.filePath("doc.rtf"), other = dir.filePath("other.rtf");
        const std::string original = "{\\rtf1\\margl1800 " + std::string(64 * 1024, 'x') + "}";
        WriteBytes(path, original);
        ASSERT_TRUE(AddName(path, other)) << std::strerror(errno);
        const uid_t owner = c.owner ? c.owner : ::geteuid();
        const gid_t group = c.owner ? c.group : ::getegid();
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, group), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);

        const ChildOutcome outcome = InChild([&] {
            Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
            stream->Write("{\\rtf1\\margl900 " + std::string(32 * 1024, 'n'));
            ::kill(::getpid(), SIGKILL);
            return std::string("not killed");
        });

        EXPECT_EQ(outcome.signal, SIGKILL);
        const QStringList entries = EntriesOf(dir.path());
        ASSERT_EQ(entries.size(), 3) << entries.join(", ").toStdString();
        const QString copy = dir.filePath(entries[1]);
        const struct stat kept = StatOf(copy);
        EXPECT_EQ(kept.st_uid, owner);
        EXPECT_EQ(kept.st_gid, group);
        EXPECT_EQ(kept.st_mode & 07777, c.mode);
        EXPECT_TRUE(ReadBytes(copy) == original) << "the copy is not the document's former text";

        // The way back, by the owner: the copy's bytes over the document.
        const ChildOutcome back = InChild([&] {
            if (::setgid(group) != 0 || ::setuid(owner) != 0) return std::string("the child could not become the owner");
            const std::string command = "cp '" + QFile::encodeName(copy).toStdString() + "' '" +
                                        QFile::encodeName(path).toStdString() + "' 2>&1";
            return std::system(command.c_str()) == 0 ? std::string() : std::string("cp failed");
        });
        EXPECT_EQ(back.report, "");
        EXPECT_TRUE(ReadBytes(path) == original && ReadBytes(other) == original) << "not every name was brought back";
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// A name close to the system's limit of 255 bytes leaves no room for six more characters: the
// file beside it takes a shorter part of the name, never a part of a UTF-8 character.
TEST(TextOutputStream, ADocumentWithALongNameIsChanged) {
    struct Case {
        const char* name;
        std::string fileName;
        bool secondName;  // rewritten in place
    };
    std::string utf8 = "a";
    while (utf8.size() < 251) utf8 += "\xC3\xA9";  // é, of which the 124th would be cut in two
    const Case cases[] = {
        {"250 bytes", std::string(246, 'x') + ".rtf", false},
        {"255 bytes of UTF-8, with a second name", utf8 + ".rtf", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.path() + "/" + QString::fromUtf8(c.fileName.c_str());
        ASSERT_EQ(QFile::encodeName(path).toStdString(), QFile::encodeName(dir.path()).toStdString() + "/" + c.fileName);
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
        }

        const ChildOutcome outcome = InChild([&] {
            Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
            stream->Write("{\\rtf1\\margl900 x}");
            std::string report;
            for (const std::string& name : RawEntriesOf(dir.path()))
                if (name != c.fileName && name != "other.rtf")
                    report += (name.size() <= 255 ? "fits" : "too long") +
                              std::string(QString::fromUtf8(name.c_str()).toUtf8().toStdString() == name ? ", UTF-8\n"
                                                                                                        : ", not UTF-8\n");
            stream->Close();
            return report;
        });

        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "fits, UTF-8\n");
        EXPECT_EQ(ReadBytes(path), "{\\rtf1\\margl900 x}");
        EXPECT_EQ(RawEntriesOf(dir.path()).size(), c.secondName ? 2u : 1u);
    }
}

// Nothing that is not a regular file is opened for writing: opening a pipe or a device can
// already have an effect (a reader waiting on a pipe goes on), and a link leads to the device
// itself. Nothing is left beside it either. The system reports every open.
TEST(TextOutputStream, APipeOrADeviceIsNeverOpenedForWriting) {
    struct Case {
        const char* name;
        mode_t kind;         // made by mknod, or else
        const char* linkTo;  // a link to this
    };
    const Case cases[] = {
        {"pipe.rtf", S_IFIFO, nullptr},
        {"null.rtf", S_IFCHR, nullptr},  // what /dev/null is, which only root can make
        {"zero.rtf", 0, "/dev/zero"},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.name);
        const QByteArray name = QFile::encodeName(path);
        if (c.linkTo) {
            ASSERT_EQ(::symlink(c.linkTo, name.constData()), 0) << std::strerror(errno);
        } else if (::mknod(name.constData(), c.kind | 0666, makedev(1, 3)) != 0) {
            ASSERT_EQ(c.kind, S_IFCHR) << std::strerror(errno);
            skipped.Skip(c.name, std::string("no device can be made here: ") + std::strerror(errno));
            continue;
        }
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, name.constData(), IN_OPEN), 0);

        const ChildOutcome outcome = InChild([&]() -> std::string {
            ::alarm(60);
            return FailureOf([&] { TextOutputStream::Create(Item(path)); });
        });

        char events[4096];
        const ssize_t got = ::read(watch, events, sizeof events);
        ::close(watch);
        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "IOException: Cannot write " + name.toStdString() + ": it is not a regular file");
        EXPECT_LE(got, 0) << "it was opened";
        EXPECT_EQ(EntriesOf(dir.path()), QStringList{c.name});
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}
