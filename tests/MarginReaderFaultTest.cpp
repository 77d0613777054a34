#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <random>

#include "FaultSupport.h"
#include "TestFiles.h"
#include "runtime/NotNil.h"

// How the window's reading of a document fails: what it says, and that it neither hangs, nor
// opens what is not a regular file, nor writes what it could not mark.
using MarginReaderFaultTest = StartedProgramWindowTest;

// A document that cannot be marked is never written, not even by a press of "Change" that
// reaches the handler while the text of the document read before is still in memory.
TEST_F(MarginReaderFaultTest, ADocumentThatCannotBeMarkedIsSaidSoAndNeverWritten) {
    const std::string notMarged = "MessageBox " + WindowVelloran::K_NOTMARGED("").Bytes();
    std::mt19937 random(20241210);
    std::string noise(64 * 1024, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string bytes;
        mode_t mode;
        std::string shown;
    };
    const Case cases[] = {
        {"a file that may not be read", "{\\rtf1\\margl1800 x}", 0000, "MessageBox error input"},
        {"a file of 0 bytes", "", 0644, notMarged},
        {"random bytes named .rtf", noise, 0644, notMarged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        WriteBytes(dir.filePath("previous.rtf"), "{\\rtf1\\margl100\\margr200 previous}");
        WriteBytes(dir.filePath("doc.rtf"), c.bytes);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("doc.rtf")).constData(), c.mode), 0);
        ASSERT_TRUE(window().Margins(Item(dir.filePath("previous.rtf"))));
        Recorded().calls.clear();

        const ChildOutcome outcome = InChild([&] {
            if (!DropFileOverrides()) return std::string("the child could not give up its file overrides");
            const bool marked = window().Margins(Item(dir.filePath("doc.rtf")));
            const bool enabled = NotNil(window().PushButtonChange()).Enabled();
            NotNil(window().PushButtonChange()).Push();
            return Joined(Recorded().calls) + (marked ? "marked" : "not marked") + (enabled ? ", enabled" : "");
        });

        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, c.shown + "\nnot marked");
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("doc.rtf")).constData(), 0644), 0);
        EXPECT_TRUE(ReadBytes(dir.filePath("doc.rtf")) == c.bytes) << "the document changed";
        EXPECT_EQ(ReadBytes(dir.filePath("previous.rtf")), "{\\rtf1\\margl100\\margr200 previous}");
        EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"doc.rtf", "previous.rtf"}));
    }
}

// On Linux a name is bytes: one that is not UTF-8 is read and written back by those bytes.
TEST_F(MarginReaderFaultTest, ADocumentWhoseNameIsNotUtf8IsReadAndRewritten) {
    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.path()).toStdString() + "/caf\xE9.rtf";
    const std::string original = "{\\rtf1\\margl1800 x}";
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, original.data(), original.size()), static_cast<ssize_t>(original.size()));
        ::close(fd);
    }
    const Ref<FolderItem> item = FolderItem::FromShellPath(String(path));
    ASSERT_TRUE(window().Margins(item));
    NotNil(window().TextFieldMargL()).SetText("900");
    NotNil(window().PushButtonChange()).Push();

    EXPECT_EQ(Recorded().calls, std::vector<std::string>{});
    std::string bytes(128, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    bytes.resize(static_cast<size_t>(std::max<ssize_t>(::read(fd, bytes.data(), bytes.size()), 0)));
    ::close(fd);
    EXPECT_EQ(bytes, "{\\rtf1\\margl900\\margr1440\\margt1440\\margb1440 x}");
    EXPECT_EQ(::unlink(path.c_str()), 0);  // Qt could not remove it by a name that is not UTF-8
}

// Opening a device can act on it (a serial line's reset, a tape's rewind), so nothing that is
// not a regular file is opened, not even to find out what it is: the system reports every open
// of a watched file. Nor is anything else read: without O_NONBLOCK the read of a pipe would wait
// for a writer for good, and /dev/zero never ends. An alarm ends a child that hangs.
TEST_F(MarginReaderFaultTest, NothingButARegularFileIsOpenedToBeRead) {
    struct Case {
        const char* name;
        mode_t kind;         // made by mknod, or else
        const char* linkTo;  // a link to this
    };
    const Case cases[] = {
        {"pipe.rtf", S_IFIFO, nullptr},
        {"device.rtf", S_IFCHR, nullptr},  // what /dev/null is, which only root can make
        {"link.rtf", 0, "pipe.rtf"},
        {"zero.rtf", 0, "/dev/zero"},
    };
    QTemporaryDir dir;
    SkippedCases skipped(std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray path = QFile::encodeName(dir.filePath(c.name));
        if (c.linkTo) {
            ASSERT_EQ(::symlink(c.linkTo, path.constData()), 0) << std::strerror(errno);
        } else if (::mknod(path.constData(), c.kind | 0644, makedev(1, 3)) != 0) {
            ASSERT_EQ(c.kind, S_IFCHR) << std::strerror(errno);
            skipped.Skip(c.name, std::string("no device can be made here: ") + std::strerror(errno));
            continue;
        }
        const ChildOutcome outcome = InChild([&] {
            ::alarm(60);
            const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (watch < 0 || ::inotify_add_watch(watch, path.constData(), IN_OPEN) < 0)
                return std::string("the child cannot watch the file: ") + std::strerror(errno);
            const bool marked = window().Margins(Item(dir.filePath(c.name)));
            alignas(inotify_event) char events[4096];
            const bool opened = ::read(watch, events, sizeof events) > 0;
            return Joined(Recorded().calls) + (marked ? "marked" : "not marked") + (opened ? ", opened" : "");
        });
        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "MessageBox error input\nnot marked");
    }
    if (skipped.All()) GTEST_SKIP() << skipped.Reason();
}

// A document larger than the memory the program may have is refused with its name and the
// reason, like any document that cannot be read, and the program goes on to the next one.
TEST_F(MarginReaderFaultTest, ADocumentTooLargeForMemoryIsRefusedAndTheNextOneOpens) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator ends the process where memory runs out";
#else
    QTemporaryDir dir;
    const QString huge = dir.filePath("huge.rtf");
    WriteBytes(huge, "{\\rtf1\\margl1800 ");
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), off_t{40} << 30), 0) << std::strerror(errno);
    WriteBytes(dir.filePath("next.rtf"), "{\\rtf1\\margl900 x}");

    const ChildOutcome outcome = InChild([&]() -> std::string {
        // Far less than the document, and room enough for everything else.
        const rlimit limit{rlim_t{8} << 30, rlim_t{8} << 30};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) return "the child could not limit its memory";
        const bool marked = window().Margins(Item(huge));
        const bool enabled = NotNil(window().PushButtonChange()).Enabled();
        const bool next = window().Margins(Item(dir.filePath("next.rtf")));
        return Joined(Recorded().calls) + (marked ? "marked" : "not marked") + (enabled ? ", enabled" : "") +
               (next ? "; the next one marked" : "");
    });

    EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
    EXPECT_EQ(outcome.report, "MessageBox The margins of the document " + QFile::encodeName(huge).toStdString() +
                                  " cannot be read: it is too large to be held in memory\nnot marked; the next one "
                                  "marked");
    EXPECT_EQ(EntriesOf(dir.path()), (QStringList{"huge.rtf", "next.rtf"}));
#endif
}
