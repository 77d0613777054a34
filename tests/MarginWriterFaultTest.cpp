#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>

#include "FaultSupport.h"
#include "TestFiles.h"
#include "runtime/NotNil.h"

// How the window's "Change" fails, and what it keeps of the document when it succeeds.
using MarginWriterFaultTest = StartedProgramWindowTest;

TEST_F(MarginWriterFaultTest, AFailedWriteLeavesTheDocumentAsItWasAndSaysWhy) {
    struct Case {
        const char* name;
        mode_t fileMode, folderMode;
        rlim_t fileSizeLimit;  // RLIM_INFINITY: none
        const char* reason;
        bool secondName;  // the document has a hard link, so it is rewritten in place
    };
    // The document is 65564 bytes long and its new text 20 bytes longer: a limit between the two
    // lets the copy of the old text be made and stops the new text part way.
    const Case cases[] = {
        {"a read-only file", 0444, 0755, RLIM_INFINITY, "is not writable", false},
        {"a folder that may not be written", 0644, 0555, RLIM_INFINITY, "Permission denied", false},
        {"a write that fails part way", 0644, 0755, 16 * 1024, "File too large", false},
        {"a rewrite in place that fails part way", 0644, 0755, 65570, "File too large; its former text was put back",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        const std::string original = "{\\rtf1\\margl1800\\margr1200 " + std::string(64 * 1024, 'x') + "}";
        WriteBytes(path, original);
        const QStringList entries = c.secondName ? QStringList{"doc.rtf", "other.rtf"} : QStringList{"doc.rtf"};
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
        }
        // Set before the read: a change of mode is a change on disk, which "Change" refuses.
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), c.folderMode), 0);
        ASSERT_TRUE(window().Margins(Item(path)));

        const ChildOutcome outcome = InChild([&] {
            if (!DropFileOverrides()) return std::string("the child could not give up its file overrides");
            const rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("the child could not limit its files");
            QTest::mouseClick(NotNil(window().PushButtonChange()).Widget(), Qt::LeftButton);
            return Joined(Recorded().calls);
        });
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        const std::string shown = "MessageBox Cannot write " + QFile::encodeName(path).toStdString() + ": ";
        EXPECT_EQ(outcome.report.rfind(shown, 0), 0u) << outcome.report;
        EXPECT_NE(outcome.report.find(c.reason), std::string::npos) << outcome.report;
        EXPECT_EQ(std::count(outcome.report.begin(), outcome.report.end(), '\n'), 1) << outcome.report;
        EXPECT_TRUE(ReadBytes(path) == original) << "the document changed";
        EXPECT_EQ(ModeOf(path), c.fileMode);
        EXPECT_EQ(EntriesOf(dir.path()), entries);
    }
}

// The disk fills up while the new text is written: a small file system of its own, mounted in a
// mount namespace of the child's, where the document fits once but not twice.
TEST_F(MarginWriterFaultTest, AFullDiskLeavesTheDocumentAsItWasAndSaysSo) {
    QTemporaryDir dir;
    const QString disk = dir.filePath("disk"), path = disk + "/doc.rtf";
    ASSERT_TRUE(QDir().mkpath(disk));
    const std::string original = "{\\rtf1\\margl1800\\margr1200 " + std::string(160 * 1024, 'x') + "}";

    const ChildOutcome outcome = InChild([&]() -> std::string {
        if (const std::string mounted = MountedInOwnNamespace(
                {"-t", "tmpfs", "-o", "size=256k", "tmpfs", QFile::encodeName(disk).toStdString()});
            !mounted.empty())
            return mounted;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(original.data(), static_cast<qint64>(original.size())) != static_cast<qint64>(original.size()))
            return "the document does not fit on the small disk";
        file.close();
        if (!window().Margins(Item(path))) return "the document was not marked";
        Recorded().calls.clear();
        NotNil(window().PushButtonChange()).Push();
        return Joined(Recorded().calls) + (ReadBytes(path) == original ? "unchanged\n" : "changed\n") +
               EntriesOf(disk).join(",").toStdString();
    });

    if (outcome.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.report;
    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    const std::string shown = "MessageBox Cannot write " + QFile::encodeName(path).toStdString() +
                              ": No space left on device\n";
    EXPECT_EQ(outcome.report, shown + "unchanged\ndoc.rtf");
}

// "Change" gives the document back as the same file. Where a new file can be given the owner,
// group, mode and extended attributes, it is renamed over the old one; where it cannot (the
// writer may not give files away, or the document has a second name), the old one is rewritten
// in place.
TEST_F(MarginWriterFaultTest, TheDocumentKeepsItsOwnerGroupModeAttributesAndLinks) {
    if (::geteuid() != 0) GTEST_SKIP() << "a document of another user can only be made by root";
    struct Case {
        const char* name;
        bool mayGiveAway;  // the writer keeps the power to give files to another user
        mode_t fileMode, folderMode;
        const char* secondName;  // nullptr: none
        bool renamed;            // a new file takes the old one's place
        bool mayChangeModes = true;  // the writer keeps the power to set the mode of another's file
    };
    const Case cases[] = {
        {"another user's document, by one who may give files away", true, 0640, 0755, nullptr, true},
        {"another user's document, by one who may not", false, 0666, 0777, nullptr, false},
        {"a document with a second name", true, 0644, 0755, "other.rtf", false},
        // The new file is given away first, and the mode of another's file is set by the privileged only.
        {"another user's set-user-ID document, by one who may give it away but not set its mode", true, 04755, 0755,
         nullptr, false, false},
        {"another user's set-user-ID document, by one who may give it away and set its mode", true, 04755, 0755,
         nullptr, true},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        if (!SetAttribute(path, "user.velloran", "kept")) {
            skipped.Skip(c.name, std::string("the temporary folder keeps no user attributes: ") + std::strerror(errno));
            continue;
        }
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 4343), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), c.folderMode), 0);
        QStringList entries{"doc.rtf"};
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath(c.secondName))) << std::strerror(errno);
            entries.append(c.secondName);
        }
        const struct stat before = StatOf(path);
        ASSERT_TRUE(window().Margins(Item(path)));

        const ChildOutcome outcome = InChild([&] {
            if (!c.mayGiveAway && !DropOwnership()) return std::string("the child could not give up its powers");
            if (!c.mayChangeModes && !DropCapabilities({CAP_FOWNER}))
                return std::string("the child could not give up its powers");
            NotNil(window().PushButtonChange()).Push();
            return Joined(Recorded().calls);
        });

        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "");
        const std::string written = "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}";
        EXPECT_EQ(ReadBytes(path), written);
        if (c.secondName) {
            EXPECT_EQ(ReadBytes(dir.filePath(c.secondName)), written);
        }
        const struct stat after = StatOf(path);
        EXPECT_EQ(after.st_ino != before.st_ino, c.renamed);
        EXPECT_EQ(after.st_uid, 4242u);
        EXPECT_EQ(after.st_gid, 4343u);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_nlink, before.st_nlink);
        EXPECT_EQ(AttributeOf(path, "user.velloran"), "kept");
        EXPECT_EQ(EntriesOf(dir.path()), entries);
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// Another program's save made while "Change" flushes the new text to disk comes after the write:
// the next "Change" must refuse, not take it for its own.
TEST_F(MarginWriterFaultTest, ASaveWhileChangeFlushesIsNotTakenForItsOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    WriteBytes(path, "{\\rtf1\\margl1800 x}");
    // A second name has the document rewritten in place, whose own descriptor is flushed.
    ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
    ASSERT_TRUE(window().Margins(Item(path)));
    const std::string others = "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 y}";

    const ChildOutcome outcome = InChild([&] {
        ::alarm(60);
        return TracedUntilFlushOf(
            path,
            [&] {
                NotNil(window().PushButtonChange()).Push();
                const std::string first = Joined(Recorded().calls);
                Recorded().calls.clear();
                NotNil(window().PushButtonChange()).Push();
                return first + "then\n" + Joined(Recorded().calls);
            },
            [&] {
                AfterLastChangeOf(path);
                WriteBytes(path, others);
            });
    });

    if (outcome.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.report;
    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    EXPECT_EQ(outcome.report, "then\n" + ChangedOnDisk(path));
    EXPECT_EQ(ReadBytes(path), others);
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "other.rtf"}));
}

// Where the file system keeps whole seconds only (ext4 with small inodes, FAT, some shares), a
// save of the same size within the same second leaves size, times and inode as they were, and
// so does a file deleted and made again. The bytes tell, compared right before they are replaced.
TEST_F(MarginWriterFaultTest, ASaveWithinTheSameSecondOnADiskOfWholeSecondsIsSeen) {
    QTemporaryDir dir;
    const QString image = dir.filePath("disk.img"), disk = dir.filePath("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    {
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(8 << 20));
    }
    const std::string make = "mkfs.ext4 -q -F -I 128 '" + QFile::encodeName(image).toStdString() + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "mkfs.ext4 cannot make a file system here";
    struct Case {
        const char* name;
        bool secondName;  // rewritten in place
        bool madeAgain;   // deleted and made again, which may reuse its inode
    };
    const Case cases[] = {
        {"saved in place", false, false},
        {"saved in place, a document with a second name", true, false},
        {"deleted and made again", false, true},
    };

    const ChildOutcome outcome = InChild([&]() -> std::string {
        ::alarm(120);
        if (const std::string mounted = MountedInOwnNamespace(
                {"-o", "loop", QFile::encodeName(image).toStdString(), QFile::encodeName(disk).toStdString()});
            !mounted.empty())
            return mounted;
        std::string report;
        int index = 0;
        for (const Case& c : cases) {
            const QString path = disk + "/doc" + QString::number(++index) + ".rtf";
            WriteBytes(path, "{\\rtf1\\margl1800 x}");
            if (c.secondName && !AddName(path, path + ".2"))
                return "no second name";
            // Our own writes and the save must fall within one second; where the second turns
            // in between, the stamp tells and the case is made again, from the document as it
            // was, so that the other program's save always differs from ours.
            std::string others;
            bool sameSecond = false;
            for (int attempt = 0; attempt < 10 && !sameSecond; ++attempt) {
                if (attempt > 0) WriteBytes(path, "{\\rtf1\\margl1800 x}");
                if (!window().Margins(Item(path))) return "the document was not marked";
                Recorded().calls.clear();
                NotNil(window().PushButtonChange()).Push();
                NotNil(window().PushButtonChange()).Push();  // after our own write, which is ours
                if (!Recorded().calls.empty()) return std::string(c.name) + ": " + Joined(Recorded().calls);
                const FileStamp ours = Item(path)->Stamp();
                others = ReadBytes(path);
                others[others.size() - 2] = 'y';
                if (c.madeAgain) ::unlink(QFile::encodeName(path).constData());
                WriteBytes(path, others);
                sameSecond = Item(path)->Stamp() == ours;
            }
            if (!sameSecond) return std::string("skip: no save within the same second: ") + c.name;
            Recorded().calls.clear();
            NotNil(window().PushButtonChange()).Push();
            report += std::string(c.name) + ": " + Joined(Recorded().calls) +
                      (ReadBytes(path) == others ? "left\n" : "overwritten\n");
        }
        return report;
    });

    if (outcome.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.report;
    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    std::string expected;
    int index = 0;
    for (const Case& c : cases)
        expected += std::string(c.name) + ": " + ChangedOnDisk(disk + "/doc" + QString::number(++index) + ".rtf") +
                    "left\n";
    EXPECT_EQ(outcome.report, expected);
}

// A file bind-mounted over the document cannot be renamed over; it is rewritten in place.
TEST_F(MarginWriterFaultTest, ADocumentThatIsAMountPointIsRewrittenInPlace) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf"), source = dir.filePath("source.rtf");
    WriteBytes(path, "{\\rtf1\\margl100 the file under the mount}");
    WriteBytes(source, "{\\rtf1\\margl1800 x}");

    const ChildOutcome outcome = InChild([&]() -> std::string {
        if (const std::string mounted = MountedInOwnNamespace(
                {"--bind", QFile::encodeName(source).toStdString(), QFile::encodeName(path).toStdString()});
            !mounted.empty())
            return mounted;
        if (!window().Margins(Item(path))) return "the document was not marked";
        Recorded().calls.clear();
        NotNil(window().PushButtonChange()).Push();
        return Joined(Recorded().calls) + ReadBytes(path) + "\n" + EntriesOf(dir.path()).join(",").toStdString();
    });

    if (outcome.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.report;
    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    const std::string written = "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}";
    EXPECT_EQ(outcome.report, written + "\ndoc.rtf,source.rtf");
    EXPECT_EQ(ReadBytes(source), written);
    EXPECT_EQ(ReadBytes(path), "{\\rtf1\\margl100 the file under the mount}");
}

// The system clears the set-user-ID and set-group-ID bits when one who lacks the power to keep
// them writes a file, and removes file capabilities on every write and change of owner. "Change"
// gives them back, on either way of writing.
TEST_F(MarginWriterFaultTest, TheDocumentKeepsItsSetIdBitsAndCapabilities) {
    if (::geteuid() != 0) GTEST_SKIP() << "set-ID bits of another user and file capabilities need root";
    // Lets the program run with the power to bind to a low port: VFS_CAP_REVISION_2, no effective bit.
    vfs_cap_data capability{};
    capability.magic_etc = VFS_CAP_REVISION_2;
    capability.data[0].permitted = 1u << CAP_NET_BIND_SERVICE;
    const std::string capabilityValue(reinterpret_cast<const char*>(&capability), sizeof capability);
    struct Case {
        const char* name;
        mode_t mode;
        bool capable;     // carries security.capability, written by root; else written by its owner, 4242
        bool secondName;  // rewritten in place
    };
    const Case cases[] = {
        {"set-user-ID", 04755, false, false},
        {"set-user-ID, with a second name", 04755, false, true},
        {"set-group-ID", 02775, false, false},
        {"set-group-ID, with a second name", 02775, false, true},
        {"a file capability", 0755, true, false},
        {"a file capability, with a second name", 0755, true, true},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
        }
        if (!c.capable) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 4343), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        if (c.capable && !SetAttribute(path, "security.capability", capabilityValue)) {
            skipped.Skip(c.name, std::string("no file capability can be set here: ") + std::strerror(errno));
            continue;
        }
        ASSERT_TRUE(window().Margins(Item(path)));

        const ChildOutcome outcome = InChild([&] {
            if (!c.capable && (::setgroups(0, nullptr) != 0 || ::setgid(4343) != 0 || ::setuid(4242) != 0))
                return std::string("the child could not become the document's owner");
            NotNil(window().PushButtonChange()).Push();
            return Joined(Recorded().calls);
        });

        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "");
        EXPECT_EQ(ReadBytes(path), "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}");
        EXPECT_EQ(ModeOf(path), c.mode);
        if (c.capable) {
            EXPECT_TRUE(AttributeOf(path, "security.capability") == capabilityValue) << "the capability is gone";
        }
        EXPECT_EQ(EntriesOf(dir.path()).size(), c.secondName ? 2 : 1);
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

namespace {
// Whether `user`, who is no member of the file's group, may open the file to read it: asked of
// the system by a child that has become that user.
bool ReadableBy(uid_t user, const QString& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(2);
        ::_exit(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC) >= 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool SetAccessList(const QString& path, const char* entries, bool folderDefault = false) {
    const std::string command = std::string("setfacl ") + (folderDefault ? "-d " : "") + "-m '" + entries + "' '" +
                                QFile::encodeName(path).toStdString() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// The names beside the document that are not one of its own.
QStringList BesideOf(const QString& folder, const QStringList& own) {
    QStringList beside;
    for (const QString& name : EntriesOf(folder))
        if (!own.contains(name)) beside.append(name);
    return beside;
}

// Whether the system call that a traced child enters is the first write of the new length of
// the file at `path`: the end of a rewrite in place, after its last write.
std::function<bool(long, const std::string&)> AtTheEndOfTheRewriteOf(const QString& path) {
    const std::string file = QFileInfo(path).canonicalFilePath().toStdString();
    return [file](long call, const std::string& named) { return call == SYS_ftruncate && named == file; };
}

// A capability that lets the program bind to a low port: VFS_CAP_REVISION_2, no effective bit.
std::string BindCapability() {
    vfs_cap_data capability{};
    capability.magic_etc = VFS_CAP_REVISION_2;
    capability.data[0].permitted = 1u << CAP_NET_BIND_SERVICE;
    return std::string(reinterpret_cast<const char*>(&capability), sizeof capability);
}
}  // namespace

// The copy of a document's former text, made for a rewrite in place, can be read by exactly those
// who may read the document, while "Change" runs and after it was killed: it takes the
// document's access control list, and none from its folder.
TEST_F(MarginWriterFaultTest, TheCopyBesideADocumentIsReadByThoseWhoMayReadTheDocumentOnly) {
    if (::geteuid() != 0) GTEST_SKIP() << "another user's access is tried by root only";
    const uid_t other = 4242;
    struct Case {
        const char* name;
        mode_t mode;
        const char* documentList;  // nullptr: none
        const char* folderDefault;
    };
    const Case cases[] = {
        {"a document that keeps one user out", 0644, "u:4242:---", nullptr},
        {"a document in a folder whose default list lets that user in", 0640, nullptr, "u:4242:rwx"},
        {"a document that lets that user in alone", 0640, "u:4242:r--", nullptr},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 " + std::string(64 * 1024, 'x') + "}");
        ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        if ((c.documentList && !SetAccessList(path, c.documentList)) ||
            (c.folderDefault && !SetAccessList(dir.path(), c.folderDefault, true))) {
            skipped.Skip(c.name, "no access control list can be set here (setfacl)");
            continue;
        }
        const bool readsTheDocument = ReadableBy(other, path);
        ASSERT_TRUE(window().Margins(Item(path)));

        const ChildOutcome outcome = InChild([&] {
            std::string whileChanging;
            const std::string report = TracedUntil(AtTheEndOfTheRewriteOf(path), [&] {
                NotNil(window().PushButtonChange()).Push();
                return std::string("not killed");
            }, [&](pid_t changing) {
                for (const QString& name : BesideOf(dir.path(), {"doc.rtf", "other.rtf"}))
                    whileChanging += ReadableBy(other, dir.filePath(name)) ? "read " : "kept out ";
                ::kill(changing, SIGKILL);
            });
            return report + whileChanging;
        });

        if (outcome.report.rfind("skip: ", 0) == 0) {
            skipped.Skip(c.name, outcome.report);
            continue;
        }
        const std::string expected = readsTheDocument ? "read " : "kept out ";
        EXPECT_EQ(outcome.report, expected) << "while \"Change\" ran";
        const QStringList left = BesideOf(dir.path(), {"doc.rtf", "other.rtf"});
        ASSERT_EQ(left.size(), 1) << EntriesOf(dir.path()).join(", ").toStdString();
        EXPECT_EQ(ReadableBy(other, dir.filePath(left[0])), readsTheDocument) << "after \"Change\" was killed";
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// A rewrite in place gives back only what its own writes took. Where another program changed
// the document's owner or permissions while it was written, nothing is given back, and "Change"
// says so: an administrator's change is never undone, and no one gets set-ID bits or a
// capability that was not theirs.
TEST_F(MarginWriterFaultTest, WhatAnotherProgramTookWhileTheDocumentWasRewrittenIsNotGivenBack) {
    if (::geteuid() != 0) GTEST_SKIP() << "set-ID bits of another user and file capabilities need root";
    struct Case {
        const char* name;
        int (*act)(const char* path);  // the administrator's, while "Change" writes; 0 once done
        uid_t owner;
        mode_t mode;
    };
    const Case cases[] = {
        {"chmod 644", [](const char* path) { return ::chmod(path, 0644); }, 4242, 0644},
        // A change of owner clears the set-ID bits and the capability.
        {"chown root:root", [](const char* path) { return ::chown(path, 0, 0); }, 0, 0755},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 4343), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 04755), 0);
        if (!SetAttribute(path, "security.capability", BindCapability())) {
            skipped.Skip(c.name, std::string("no file capability can be set here: ") + std::strerror(errno));
            continue;
        }
        ASSERT_TRUE(window().Margins(Item(path)));

        const ChildOutcome outcome = InChild([&] {
            bool acted = false;
            const std::string report = TracedUntil(AtTheEndOfTheRewriteOf(path), [&] {
                NotNil(window().PushButtonChange()).Push();
                return Joined(Recorded().calls);
            }, [&](pid_t) { acted = c.act(QFile::encodeName(path).constData()) == 0; });
            return (acted ? "" : "the administrator could not act\n") + report;
        });

        if (outcome.report.rfind("skip: ", 0) == 0) {
            skipped.Skip(c.name, outcome.report);
            continue;
        }
        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "MessageBox The new text was written to " + QFile::encodeName(path).toStdString() +
                                      ", but its set-ID bits and file capability were not given back: another "
                                      "program changed its owner, group or permissions while it was written\n");
        EXPECT_EQ(ReadBytes(path), "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}");
        EXPECT_EQ(StatOf(path).st_uid, c.owner);
        EXPECT_EQ(ModeOf(path), c.mode);
        EXPECT_EQ(AttributeOf(path, "security.capability"), "<none>");
        EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "other.rtf"}));
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// A "Change" killed on the way of a rename leaves at most the new text beside the document, never
// a file with set-ID bits or a capability: the new file gets them once it is the document. It has
// no permissions until its text is whole and on disk, and then the document's.
TEST_F(MarginWriterFaultTest, AKilledChangeLeavesNoPrivilegedFileBesideTheDocument) {
    if (::geteuid() != 0) GTEST_SKIP() << "file capabilities need root";
    const std::string original = "{\\rtf1\\margl1800 x}", written = "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}";
    struct Case {
        const char* name;
        bool (*at)(long call);  // the system call at whose start "Change" is killed
        mode_t leftMode;
        bool whole;  // the file left is known to hold the whole new text
    };
    const Case cases[] = {
        {"at the flush of the new text", [](long call) { return call == SYS_fsync; }, 0, false},
        {"at the rename", [](long call) { return call == SYS_rename || call == SYS_renameat || call == SYS_renameat2; },
         0755, true},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, original);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 04755), 0);
        if (!SetAttribute(path, "security.capability", BindCapability())) {
            skipped.Skip(c.name, std::string("no file capability can be set here: ") + std::strerror(errno));
            continue;
        }
        ASSERT_TRUE(window().Margins(Item(path)));
        const std::string beside = QFileInfo(path).canonicalFilePath().toStdString() + ".";

        const ChildOutcome outcome = InChild([&] {
            return TracedUntil([&](long call, const std::string& file) {
                return c.at(call) && (call != SYS_fsync || file.rfind(beside, 0) == 0);
            }, [&] {
                NotNil(window().PushButtonChange()).Push();
                return std::string("not killed");
            }, [](pid_t changing) { ::kill(changing, SIGKILL); });
        });

        if (outcome.report.rfind("skip: ", 0) == 0) {
            skipped.Skip(c.name, outcome.report);
            continue;
        }
        EXPECT_EQ(outcome.report, "");
        EXPECT_EQ(ReadBytes(path), original);
        EXPECT_EQ(ModeOf(path), 04755u);
        const QStringList left = BesideOf(dir.path(), {"doc.rtf"});
        ASSERT_EQ(left.size(), 1) << EntriesOf(dir.path()).join(", ").toStdString();
        EXPECT_EQ(ModeOf(dir.filePath(left[0])), c.leftMode);
        EXPECT_EQ(AttributeOf(dir.filePath(left[0]), "security.capability"), "<none>");
        if (c.whole) {
            EXPECT_EQ(ReadBytes(dir.filePath(left[0])), written);
        }
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// In a folder where files may be made but neither renamed nor removed (the append-only
// attribute), the new text cannot take the document's place: "Change" fails with the document
// as it was and names the file it could not remove. A rewrite in place writes the document and
// names the copy it could not remove. Either way the next "Change" meets the document as it is,
// not as one that another program changed.
TEST_F(MarginWriterFaultTest, InAFolderWhereNothingCanBeRemovedEveryFileLeftIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root may make a folder append-only";
    const std::string original = "{\\rtf1\\margl1800 x}", written = "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}";
    struct Case {
        const char* name;
        bool secondName;  // rewritten in place
        const char* shown;
    };
    const Case cases[] = {
        {"one name", false, ": its new text could not take its place (Operation not permitted); "},
        {"a second name, rewritten in place", true, ", but the copy of its former text, "},
    };
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        const QByteArray folder = QFile::encodeName(dir.path());
        WriteBytes(path, original);
        QStringList own{"doc.rtf"};
        if (c.secondName) {
            ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
            own.append("other.rtf");
        }
        if (std::system(("chattr +a '" + folder.toStdString() + "' 2>/dev/null").c_str()) != 0) {
            skipped.Skip(c.name, "the temporary folder cannot be made append-only (chattr +a)");
            continue;
        }
        ASSERT_TRUE(window().Margins(Item(path)));
        Recorded().calls.clear();
        NotNil(window().PushButtonChange()).Push();
        NotNil(window().PushButtonChange()).Push();
        const std::vector<std::string> shown = Recorded().calls;
        const QStringList left = BesideOf(dir.path(), own);
        ASSERT_EQ(std::system(("chattr -a '" + folder.toStdString() + "'").c_str()), 0);

        EXPECT_EQ(ReadBytes(path), c.secondName ? written : original);
        ASSERT_EQ(shown.size(), 2u) << Joined(shown);
        EXPECT_EQ(left.size(), 2) << left.join(", ").toStdString();
        for (size_t press = 0; press < shown.size(); ++press) {
            EXPECT_NE(shown[press].find(c.shown), std::string::npos) << shown[press];
            EXPECT_EQ(shown[press].find("changed on disk"), std::string::npos) << shown[press];
        }
        for (const QString& name : left) {
            const std::string named = QFile::encodeName(dir.filePath(name)).toStdString();
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                                    [&](const std::string& message) { return message.find(named) != std::string::npos; }))
                << named << " is named in no message: " << Joined(shown);
        }
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// A rewrite in place that failed and put the former text back leaves the document as it is on
// disk now: once the cause is gone, the next "Change" writes it.
TEST_F(MarginWriterFaultTest, AfterAFailedChangeTheNextOneWritesOnceTheCauseIsGone) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    const std::string original = "{\\rtf1\\margl1800\\margr1200 " + std::string(64 * 1024, 'x') + "}";
    WriteBytes(path, original);
    ASSERT_TRUE(AddName(path, dir.filePath("other.rtf"))) << std::strerror(errno);
    ASSERT_TRUE(window().Margins(Item(path)));

    const ChildOutcome outcome = InChild([&] {
        // Room for the copy of the former text, not for the longer new one.
        const rlimit limited{65570, RLIM_INFINITY}, lifted{RLIM_INFINITY, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) return std::string("the child could not limit its files");
        NotNil(window().PushButtonChange()).Push();
        const std::string first = Joined(Recorded().calls) + (ReadBytes(path) == original ? "as it was\n" : "changed\n");
        Recorded().calls.clear();
        if (::setrlimit(RLIMIT_FSIZE, &lifted) != 0) return std::string("the child could not lift the limit");
        NotNil(window().PushButtonChange()).Push();
        return first + "then\n" + Joined(Recorded().calls);
    });

    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    EXPECT_EQ(outcome.report, "MessageBox Cannot write " + QFile::encodeName(path).toStdString() +
                                  ": File too large; its former text was put back\nas it was\nthen\n");
    EXPECT_EQ(ReadBytes(path).substr(0, 48), "{\\rtf1\\margl1800\\margr1200\\margt1440\\margb1440 x");
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "other.rtf"}));
}

// Another program that renames its own save over the document's name while the document is
// rewritten in place has the last word: "Change" says that the new margins did not reach the
// document, and the file it wrote, the document's other name, gets its former text back.
TEST_F(MarginWriterFaultTest, ADocumentReplacedWhileItIsRewrittenIsNotReportedAsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf"), other = dir.filePath("other.rtf");
    const std::string original = "{\\rtf1\\margl1800 x}", others = "{\\rtf1\\margl100 the other program's save}";
    WriteBytes(path, original);
    ASSERT_TRUE(AddName(path, other)) << std::strerror(errno);
    ASSERT_TRUE(window().Margins(Item(path)));

    const ChildOutcome outcome = InChild([&] {
        return TracedUntil(AtTheEndOfTheRewriteOf(path), [&] {
            NotNil(window().PushButtonChange()).Push();
            return Joined(Recorded().calls);
        }, [&](pid_t) {
            WriteBytes(path + ".saved", others);
            ::rename(QFile::encodeName(path + ".saved").constData(), QFile::encodeName(path).constData());
        });
    });

    if (outcome.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.report;
    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    EXPECT_EQ(outcome.report, "MessageBox The document " + QFile::encodeName(path).toStdString() +
                                  " was replaced by another program while its margins were written: the new margins "
                                  "did not reach it. Open it again to change its margins.\n");
    EXPECT_EQ(ReadBytes(path), others);
    EXPECT_EQ(ReadBytes(other), original);
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "other.rtf"}));
}
