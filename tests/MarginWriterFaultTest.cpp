#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>
#include <random>

#include "TestFiles.h"
#include "TestSupport.h"
#include "files/TextOutputStream.h"
#include "runtime/NotNil.h"
#include "runtime/RuntimeException.h"
#include "ui/EventLoop.h"

namespace {
// Gives up the capabilities named, for this process.
bool DropCapabilities(std::initializer_list<int> capabilities) {
    if (::geteuid() != 0) return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : capabilities) {
        const uint32_t bit = 1u << (cap % 32);
        data[cap / 32].effective &= ~bit;
        data[cap / 32].permitted &= ~bit;
        data[cap / 32].inheritable &= ~bit;
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Gives up, for this process, the powers by which root writes where the permission bits forbid
// it, so that the permission cases test the program and not the test's user.
bool DropFileOverrides() { return DropCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}); }

// Gives up, besides, the power to give a file to another user.
bool DropOwnership() { return DropCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER, CAP_CHOWN}); }

struct ChildOutcome {
    bool exited = false;  // and was not killed by a signal
    int signal = 0;
    std::string report;
};

// Runs `work` in a forked child and gives back what it reported. The test process has a single
// thread, so the child carries on with the window and the files that the parent set up, and
// what the child gives up or limits stays with it.
ChildOutcome InChild(const std::function<std::string()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        std::string report;
        try {
            report = work();
        } catch (const std::exception& failure) {
            report = std::string("exception: ") + failure.what();
        }
        for (size_t at = 0; at < report.size();) {
            const ssize_t written = ::write(pipe[1], report.data() + at, report.size() - at);
            if (written <= 0) break;
            at += static_cast<size_t>(written);
        }
        ::_exit(0);
    }
    ::close(pipe[1]);
    ChildOutcome outcome;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipe[0], buffer, sizeof buffer)) > 0) outcome.report.append(buffer, static_cast<size_t>(got));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

struct stat StatOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

std::string AttributeOf(const QString& path, const char* name) {
    char value[256];
    const ssize_t got = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return got < 0 ? "<none>" : std::string(value, static_cast<size_t>(got));
}

bool SetAttribute(const QString& path, const char* name, std::string_view value) {
    return ::setxattr(QFile::encodeName(path).constData(), name, value.data(), value.size(), 0) == 0;
}

std::string Joined(const std::vector<std::string>& calls) {
    std::string joined;
    for (const auto& call : calls) joined += call + "\n";
    return joined;
}

// The program's window after the framework's own start, which decides how a write beyond the
// file-size limit ends.
class MarginWriterFaultTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        char name[] = "velloran-tests";
        char* argv[] = {name, nullptr};
        RuntimeInit(1, argv);
        ProgramWindowTest::SetUp();
    }
};
}  // namespace

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
        const QByteArray mountPoint = QFile::encodeName(disk);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=256k") != 0)
            return std::string("skip: no file system of its own can be mounted here: ") + std::strerror(errno);
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

// A document that cannot be marked is never written, not even by a press of "Change" that
// reaches the handler while the text of the document read before is still in memory.
TEST_F(MarginWriterFaultTest, ADocumentThatCannotBeMarkedIsSaidSoAndNeverWritten) {
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
    };
    const Case cases[] = {
        {"another user's document, by one who may give files away", true, 0640, 0755, nullptr, true},
        {"another user's document, by one who may not", false, 0666, 0777, nullptr, false},
        {"a document with a second name", true, 0644, 0755, "other.rtf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        if (!SetAttribute(path, "user.velloran", "kept"))
            GTEST_SKIP() << "the temporary folder keeps no user attributes: " << std::strerror(errno);
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
}

// A rewrite in place that fails part way, and whose putting back fails too, leaves the complete
// copy of the old text beside the document and says where it is.
TEST_F(MarginWriterFaultTest, ACopyThatCannotBePutBackIsKeptAndNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.rtf");
    const std::string original = "{\\rtf1\\margl1800 " + std::string(64 * 1024, 'x') + "}";
    WriteBytes(path, original);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("other.rtf")).constData()), 0);

    const ChildOutcome outcome = InChild([&]() -> std::string {
        Ref<TextOutputStream> stream = TextOutputStream::Create(Item(path));
        stream->Write(std::string(32 * 1024, 'n'));
        // From here on no file of the child's may grow beyond 16 KB, the document included.
        const rlimit limit{16 * 1024, 16 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "the child could not limit its files";
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

// Without O_NONBLOCK the read of a pipe would wait for a writer for good, and /dev/zero never
// ends: both are refused before they are read. An alarm ends a child that hangs.
TEST_F(MarginWriterFaultTest, APipeOrADeviceNamedAsADocumentIsRefusedAtOnce) {
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("x.rtf")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("z.rtf")));
    for (const char* name : {"x.rtf", "z.rtf"}) {
        SCOPED_TRACE(name);
        const ChildOutcome outcome = InChild([&] {
            ::alarm(60);
            const bool marked = window().Margins(Item(dir.filePath(name)));
            return Joined(Recorded().calls) + (marked ? "marked" : "not marked");
        });
        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "MessageBox error input\nnot marked");
    }
}

// On Linux a name is bytes: one that is not UTF-8 is read and written back by those bytes.
TEST_F(MarginWriterFaultTest, ADocumentWhoseNameIsNotUtf8IsReadAndRewritten) {
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
// of a watched file.
TEST_F(MarginWriterFaultTest, NothingButARegularFileIsOpenedToBeRead) {
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.rtf")).constData(), 0644), 0);
    const bool device = ::mknod(QFile::encodeName(dir.filePath("device.rtf")).constData(), S_IFCHR | 0644,
                                makedev(1, 3)) == 0;  // what /dev/null is
    ASSERT_TRUE(QFile::link(dir.filePath("pipe.rtf"), dir.filePath("link.rtf")));
    for (const char* name : {"pipe.rtf", "device.rtf", "link.rtf"}) {
        SCOPED_TRACE(name);
        if (std::string_view(name) == "device.rtf" && !device) continue;  // only root makes devices
        const ChildOutcome outcome = InChild([&] {
            ::alarm(60);
            const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (watch < 0 || ::inotify_add_watch(watch, QFile::encodeName(dir.filePath(name)).constData(), IN_OPEN) < 0)
                return std::string("the child cannot watch the file: ") + std::strerror(errno);
            const bool marked = window().Margins(Item(dir.filePath(name)));
            alignas(inotify_event) char events[4096];
            const bool opened = ::read(watch, events, sizeof events) > 0;
            return Joined(Recorded().calls) + (marked ? "marked" : "not marked") + (opened ? ", opened" : "");
        });
        EXPECT_TRUE(outcome.exited) << "killed by signal " << outcome.signal;
        EXPECT_EQ(outcome.report, "MessageBox error input\nnot marked");
    }
}

// A document larger than the memory the program may have is refused with its name and the
// reason, like any document that cannot be read, and the program goes on to the next one.
TEST_F(MarginWriterFaultTest, ADocumentTooLargeForMemoryIsRefusedAndTheNextOneOpens) {
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
