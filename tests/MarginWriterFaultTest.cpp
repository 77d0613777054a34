#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
            const QByteArray other = QFile::encodeName(dir.filePath("other.rtf"));
            ASSERT_EQ(::link(QFile::encodeName(path).constData(), other.constData()), 0);
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
        // Giving the new file away clears its set-user-ID bit, which the writer may then not set.
        {"another user's set-user-ID document, by one who may give it away but not set its mode", true, 04755, 0755,
         nullptr, false, false},
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
            const QByteArray other = QFile::encodeName(dir.filePath(c.secondName));
            ASSERT_EQ(::link(QFile::encodeName(path).constData(), other.constData()), 0);
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
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("other.rtf")).constData()), 0);
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
            if (c.secondName && ::link(QFile::encodeName(path).constData(), QFile::encodeName(path + ".2").constData()))
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
            ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("other.rtf")).constData()), 0);
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
