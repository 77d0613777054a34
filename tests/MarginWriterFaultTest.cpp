#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>
#include <random>

#include "TestFiles.h"
#include "TestSupport.h"
#include "runtime/NotNil.h"
#include "ui/EventLoop.h"

namespace {
// Gives up, for this process, the powers by which root writes where the permission bits forbid
// it, so that the permission cases test the program and not the test's user.
bool DropFileOverrides() {
    if (::geteuid() != 0) return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        const uint32_t bit = 1u << (cap % 32);
        data[cap / 32].effective &= ~bit;
        data[cap / 32].permitted &= ~bit;
        data[cap / 32].inheritable &= ~bit;
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

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
        Recorded().calls.clear();
    }
};
}  // namespace

TEST_F(MarginWriterFaultTest, AFailedWriteLeavesTheDocumentAsItWasAndSaysWhy) {
    struct Case {
        const char* name;
        mode_t fileMode, folderMode;
        rlim_t fileSizeLimit;  // RLIM_INFINITY: none
        const char* reason;
    };
    const Case cases[] = {
        {"a read-only file", 0444, 0755, RLIM_INFINITY, "is not writable"},
        {"a folder that may not be written", 0644, 0555, RLIM_INFINITY, "Permission denied"},
        {"a write that fails part way", 0644, 0755, 16 * 1024, "File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("doc.rtf");
        const std::string original = "{\\rtf1\\margl1800\\margr1200 " + std::string(64 * 1024, 'x') + "}";
        WriteBytes(path, original);
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
        EXPECT_EQ(EntriesOf(dir.path()), QStringList{"doc.rtf"});
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
