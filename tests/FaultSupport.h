#pragma once

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "runtime/RuntimeException.h"
#include "ui/EventLoop.h"

// What the fault tests share: a child process to fail in, with powers given up or limits set
// that stay with it, a mount namespace of its own, a traced child, and the skip of one case.

// Gives up the capabilities named, for this process.
inline bool DropCapabilities(std::initializer_list<int> capabilities) {
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
inline bool DropFileOverrides() { return DropCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}); }

// Gives up, besides, the power to give a file to another user.
inline bool DropOwnership() {
    return DropCapabilities({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER, CAP_CHOWN});
}

// Limits every file that this process writes from here on to `bytes`. A write beyond the limit
// then fails with its reason instead of ending the process, as the program's start arranges it.
inline bool LimitFileSizes(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

struct ChildOutcome {
    bool exited = false;  // and was not killed by a signal
    int signal = 0;
    std::string report;
};

// Runs `work` in a forked child and gives back what it reported. The test process has a single
// thread, so the child carries on with the window and the files that the parent set up, and
// what the child gives up or limits stays with it.
inline ChildOutcome InChild(const std::function<std::string()>& work) {
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

// Runs `work` in a child of this process that this process traces, and calls `at` once with the
// child's id, the first time the child enters a system call that `when` picks by its number and
// the file that its first argument names as a descriptor ("" for none), before the call is made.
// Gives back what `work` reported, or a line that starts with "skip: ".
inline std::string TracedUntil(const std::function<bool(long call, const std::string& file)>& when,
                        const std::function<std::string()>& work, const std::function<void(pid_t)>& at) {
#if defined(__x86_64__)
    int pipe[2];
    if (::pipe(pipe) != 0) return "skip: no pipe";
    const pid_t traced = ::fork();
    if (traced == 0) {
        ::close(pipe[0]);
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(1);
        ::raise(SIGSTOP);
        const std::string report = work();
        if (::write(pipe[1], report.data(), report.size()) < 0) ::_exit(1);
        ::_exit(0);
    }
    ::close(pipe[1]);
    int status = 0;
    ::waitpid(traced, &status, 0);
    if (!WIFSTOPPED(status)) return "skip: this system lets no process be traced";
    ::ptrace(PTRACE_SETOPTIONS, traced, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    bool entering = true, met = false;
    for (int signal = 0;;) {
        ::ptrace(PTRACE_SYSCALL, traced, nullptr, signal);
        if (::waitpid(traced, &status, 0) != traced || WIFEXITED(status) || WIFSIGNALED(status)) break;
        signal = 0;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);
            continue;
        }
        if (entering && !met) {
            user_regs_struct registers{};
            ::ptrace(PTRACE_GETREGS, traced, nullptr, &registers);
            const std::string fd = "/proc/" + std::to_string(traced) + "/fd/" + std::to_string(registers.rdi);
            std::error_code error;
            if (when(static_cast<long>(registers.orig_rax), std::filesystem::read_symlink(fd, error).native())) {
                at(traced);
                met = true;
            }
        }
        entering = !entering;
    }
    std::string report;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipe[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<size_t>(got));
    ::close(pipe[0]);
    return met ? report : "the child never made the call awaited; " + report;
#else
    (void)when, (void)work, (void)at;
    return "skip: the child is traced on x86-64 only";
#endif
}

// As TracedUntil, at the child's first flush of the file at `path` to disk.
inline std::string TracedUntilFlushOf(const QString& path, const std::function<std::string()>& work,
                               const std::function<void()>& atFlush) {
    const std::string target = QFileInfo(path).canonicalFilePath().toStdString();
    return TracedUntil([&](long call, const std::string& file) { return call == SYS_fsync && file == target; },
                       work, [&](pid_t) { atFlush(); });
}

// Mounts, by the mount command given these `arguments`, in a mount namespace of this process's
// own, which no other process sees and which ends with it. Gives back "" once mounted, else a
// reason that begins with "skip: " and says which step failed and why.
inline std::string MountedInOwnNamespace(const std::vector<std::string>& arguments) {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("skip: no mount namespace of its own: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("skip: the mounts cannot be kept from other processes: ") + std::strerror(errno);
    std::string command = "mount";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    FILE* mount = ::popen((command + " 2>&1").c_str(), "r");
    if (!mount) return "skip: " + command + " cannot be run: " + std::strerror(errno);
    std::string said;
    char buffer[512];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, mount)) > 0;) said.append(buffer, got);
    if (::pclose(mount) != 0) return "skip: " + command + " failed: " + said;
    return "";
}

// The calls the program made on the desktop, one a line.
inline std::string Joined(const std::vector<std::string>& calls) {
    std::string joined;
    for (const auto& call : calls) joined += call + "\n";
    return joined;
}

// What the program shows when "Change" finds that another program saved the document.
inline std::string ChangedOnDisk(const QString& path) {
    return "MessageBox The document " + QFile::encodeName(path).toStdString() +
           " changed on disk since it was read. Open it again to change its margins.\n";
}

// The class and the message of the failure that `step` raises, or "no failure".
template <class F>
std::string FailureOf(F&& step) {
    try {
        step();
    } catch (const RuntimeException& failure) {
        return std::string(failure.ClassName()) + ": " + failure.what();
    }
    return "no failure";
}

// Lets one case of a table be skipped, where this system cannot make it, while the others run:
// `Skip` says which case and why, and the loop goes on to the next one. The test as a whole is
// skipped only when every case was: `if (skipped.All()) GTEST_SKIP() << skipped.Reason();`.
class SkippedCases {
public:
    explicit SkippedCases(size_t cases) : cases_(cases) {}
    void Skip(std::string_view name, std::string_view reason) {
        std::cout << "skipped: " << name << ": " << reason << std::endl;
        reason_ = "every case was skipped, the last one because " + std::string(reason);
        ++skipped_;
    }
    bool All() const { return skipped_ == cases_; }
    const std::string& Reason() const { return reason_; }

private:
    size_t cases_, skipped_ = 0;
    std::string reason_;
};

// The program's window after the framework's own start, which decides, among other things, how
// a write beyond the file-size limit ends.
class StartedProgramWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        char name[] = "velloran-tests";
        char* argv[] = {name, nullptr};
        RuntimeInit(1, argv);
        ProgramWindowTest::SetUp();
    }
};
