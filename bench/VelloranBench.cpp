// Measures the program against its floors and prints each figure as "name: value". The work
// that is measured runs in children of this process, each started afresh from this same binary,
// so that one measurement leaves nothing behind for the next and both sides of a comparison load
// the same libraries:
//   velloran-bench --edit-child DOCUMENT   reads, marks and rewrites DOCUMENT through the real
//                                          window and reports its time and peak memory
//   velloran-bench --startup-child         runs the whole program until its window has been drawn
//   velloran-bench --minimal-child         shows one empty window of the same size
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/FileStamp.h"
#include "files/FolderItem.h"
#include "runtime/Desktop.h"
#include "runtime/NotNil.h"
#include "runtime/RecordingDesktop.h"
#include "runtime/Runtime.h"
#include "runtime/Trace.h"
#include "shell/Startup.h"
#include "ui/EventLoop.h"
#include "window/WindowVelloran.h"

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string& Folder() {  // where the documents are, removed at the end or on failure
    static std::string folder;
    return folder;
}

std::string& Mounted() {  // the whole-second file system while it is mounted, unmounted on failure
    static std::string mounted;
    return mounted;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "velloran-bench: %s\n", what.c_str());
    if (!Mounted().empty()) ::umount2(Mounted().c_str(), MNT_DETACH);
    if (!Folder().empty()) std::filesystem::remove_all(Folder());
    std::exit(1);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The process's peak resident memory so far, in bytes.
long long PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
    Fail("no VmHWM in /proc/self/status");
}

// ---- The documents ----

// Written documents go to disk before anything is timed, so that no write-back runs meanwhile.
void FlushToDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) Fail("cannot flush " + path);
    ::close(fd);
}

// A Rich Text document as a word processor saves it: a header with a font table and the left and
// right margins, then paragraphs of text with formatting and escaped characters, to `size` bytes.
// The top and bottom margins are missing, so the reader looks for them through the whole text.
void WriteDocument(const std::string& path, size_t size) {
    const std::string header =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
        "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\froman\\fcharset0 "
        "Times-Roman;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;\\red0\\green0\\blue0;}\n"
        "{\\*\\expandedcolortbl;;\\cssrgb\\c0\\c0\\c0;}\n"
        "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
        "\\pard\\tx566\\tx1133\\tx1700\\tx2267\\pardirnatural\\partightenfactor0\n\n"
        "\\f0\\fs24 \\cf0 ";
    const char* const words[] = {"margin", "page",  "caf\\'e9", "{\\b bold}", "{\\i italic}", "text", "\\\\path",
                                 "left",   "right", "twips",    "\\tab",      "lorem",        "ipsum", "na\\'efve"};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << header;
    size_t written = header.size();
    unsigned random = 12345;
    long paragraph = 0;
    std::string chunk;
    while (written + 1 < size) {
        chunk.clear();
        while (chunk.size() < (1 << 20)) {
            chunk += "Paragraph " + std::to_string(++paragraph) + ":";
            for (int word = 0; word < 12; ++word) {
                random = random * 1103515245u + 12345u;
                chunk += ' ';
                chunk += words[(random >> 16) % std::size(words)];
            }
            chunk += ".\\\n";
        }
        const size_t take = std::min(chunk.size(), size - 1 - written);
        out.write(chunk.data(), static_cast<std::streamsize>(take));
        written += take;
    }
    out << "}";
    out.close();
    if (!out) Fail("cannot write " + path);
    FlushToDisk(path);
}

// Each edit starts from the document as it was made: an edit writes all four words near the
// top, and the next read would find them at once.
void Restore(const std::string& original, const std::string& path) {
    std::filesystem::copy_file(original, path, std::filesystem::copy_options::overwrite_existing);
    FlushToDisk(path);
}

// The floor: the same file read whole and written whole to a new file, flushed to disk.
double CopySeconds(const std::string& from, const std::string& to) {
    std::filesystem::remove(to);
    const Clock::time_point start = Clock::now();
    const int in = ::open(from.c_str(), O_RDONLY);
    struct stat info {};
    if (in < 0 || ::fstat(in, &info) != 0) Fail("cannot read " + from);
    const size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<char[]> bytes(new char[size]);
    for (size_t have = 0; have < size;) {
        const ssize_t got = ::read(in, bytes.get() + have, size - have);
        if (got <= 0) Fail("cannot read " + from);
        have += static_cast<size_t>(got);
    }
    ::close(in);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (out < 0) Fail("cannot create " + to);
    for (size_t done = 0; done < size;) {
        const ssize_t put = ::write(out, bytes.get() + done, size - done);
        if (put <= 0) Fail("cannot write " + to);
        done += static_cast<size_t>(put);
    }
    if (::fsync(out) != 0 || ::close(out) != 0) Fail("cannot flush " + to);
    return SecondsSince(start);
}

// ---- Children ----

struct ChildResult {
    int status = -1;
    std::string output;
    double seconds = 0;  // from just before the start to the end of the process
};

// Runs a program, found by the search path where it is no path, to its end.
ChildResult Run(std::vector<std::string> all, bool keepOutput) {
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipe[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (keepOutput) {
        if (::pipe(pipe) != 0) Fail("no pipe");
        posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipe[0]);
        posix_spawn_file_actions_addclose(&actions, pipe[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    ChildResult result;
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        Fail(std::string("cannot start ") + argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (keepOutput) {
        ::close(pipe[1]);
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(pipe[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<size_t>(got));
        ::close(pipe[0]);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    result.seconds = SecondsSince(start);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

ChildResult RunChild(const std::string& self, const std::vector<std::string>& arguments, bool keepOutput) {
    std::vector<std::string> all = {self};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return Run(all, keepOutput);
}

// Closes a window at the first turn of the event loop after it has been drawn, or gives up.
class CloseWhenDrawn : public QObject {
public:
    explicit CloseWhenDrawn(QWidget* window) : window_(window) {
        window->installEventFilter(this);
        QTimer::singleShot(30000, [] { std::_Exit(3); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !drawn_) {
            drawn_ = true;
            QTimer::singleShot(0, window_, [window = window_] { window->close(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
    bool drawn_ = false;
};

// The whole program, as it starts from its own main, until its window has been drawn; closing
// the window quits it as the close box does.
int StartupChild(char* self) {
    std::unique_ptr<CloseWhenDrawn> closer;
    RuntimeSetTraceObserver([&closer](std::string_view call) {
        if (call == "RuntimeRun") closer = std::make_unique<CloseWhenDrawn>(ImplicitWindowVelloran()->Widget());
    });
    char* argv[] = {self, nullptr};
    const int status = ProgramMain(1, argv);
    return closer ? status : 4;
}

int MinimalChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(282, 326);
    CloseWhenDrawn closer(&window);
    window.show();
    return QApplication::exec();
}

// Reads, marks and rewrites the document through the program's window, and reports the time
// it took and the peak memory before and after.
int EditChild(char* self, const std::string& path) {
    SetDesktop(std::make_unique<RecordingDesktop>());
    char* argv[] = {self, nullptr};
    RuntimeInit(1, argv);
    RegisterClasses();
    LoadFrameworkPlugins();
    CreateAppObject();
    Ref<WindowVelloran> window = ImplicitWindowVelloran();
    QApplication::processEvents();  // the window is drawn, as it is before a user drops a document
    const auto& calls = dynamic_cast<RecordingDesktop&>(CurrentDesktop()).calls;

    const long long peakBefore = PeakResidentBytes();
    const Clock::time_point start = Clock::now();
    if (!window->Margins(FolderItem::FromShellPath(String(path)))) Fail("the document was not marked");
    NotNil(window->TextFieldMargL()).SetText("1800");
    NotNil(window->TextFieldMargR()).SetText("1200");
    NotNil(window->TextFieldMargT()).SetText("720");
    NotNil(window->TextFieldMargB()).SetText("720");
    NotNil(window->PushButtonChange()).Push();
    const double seconds = SecondsSince(start);
    const long long peakAfter = PeakResidentBytes();

    if (!calls.empty()) Fail("the program said: " + calls.front());
    std::ifstream written(path, std::ios::binary);
    std::string head(4096, '\0');
    written.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (head.find("\\margl1800\\margr1200\\margt720\\margb720") == std::string::npos)
        Fail("the margins were not written");
    std::printf("result: %.6f %lld %lld\n", seconds, peakBefore, peakAfter);
    window.reset();
    return RuntimeExit();
}

// ---- The figures ----

struct Edit {
    double seconds;
    double peakOverSize;
};

Edit RunEdit(const std::string& self, const std::string& path) {
    const ChildResult child = RunChild(self, {"--edit-child", path}, true);
    const size_t at = child.output.rfind("result: ");
    double seconds = 0;
    long long before = 0, after = 0;
    if (child.status != 0 || at == std::string::npos ||
        std::sscanf(child.output.c_str() + at, "result: %lf %lld %lld", &seconds, &before, &after) != 3)
        Fail("the edit failed (status " + std::to_string(child.status) + "):\n" + child.output);
    return {seconds, static_cast<double>(after - before) / static_cast<double>(std::filesystem::file_size(path))};
}

void Print(const char* name, double value) {
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

// The startup of each kind of child, started in turn, so that both meet the same machine.
void MeasureStartup(const std::string& self) {
    constexpr int kRuns = 21;
    std::vector<double> program, minimal;
    for (int run = -1; run < kRuns; ++run) {  // the first run of each only warms the caches
        const ChildResult a = RunChild(self, {"--startup-child"}, false);
        const ChildResult b = RunChild(self, {"--minimal-child"}, false);
        if (a.status != 0) Fail("the program's start ended with status " + std::to_string(a.status));
        if (b.status != 0) Fail("the minimal program ended with status " + std::to_string(b.status));
        if (run < 0) continue;
        program.push_back(a.seconds);
        minimal.push_back(b.seconds);
    }
    Print("startup_seconds", Median(program));
    Print("minimal_qt_seconds", Median(minimal));
    Print("startup_vs_minimal_qt", Median(program) / Median(minimal));
}

struct Edits {
    double medianSeconds;
    double peakOverSize;  // the highest of the five
};

// Edits of a 100 MB document in `folder` against copies of it, five of each in turn, printed
// with `prefix`.
Edits MeasureEditAgainstCopy(const std::string& self, const std::string& folder, const std::string& prefix) {
    const std::string original = folder + "/original.rtf", path = folder + "/document.rtf", copy = folder + "/copy.rtf";
    WriteDocument(original, size_t{100} << 20);
    std::vector<double> edits, copies, peaks;
    for (int run = 0; run < 5; ++run) {
        Restore(original, path);
        const Edit edit = RunEdit(self, path);
        edits.push_back(edit.seconds);
        peaks.push_back(edit.peakOverSize);
        copies.push_back(CopySeconds(original, copy));
    }
    Print((prefix + "edit_100mb_seconds").c_str(), Median(edits));
    Print((prefix + "copy_100mb_seconds").c_str(), Median(copies));
    Print((prefix + "edit_100mb_vs_copy").c_str(), Median(edits) / Median(copies));
    for (const std::string& name : {original, path, copy}) std::filesystem::remove(name);
    return {Median(edits), *std::max_element(peaks.begin(), peaks.end())};
}

void MeasureEdits(const std::string& self, const std::string& folder) {
    const std::string original = folder + "/original.rtf", path = folder + "/document.rtf";
    const std::pair<const char*, size_t> smaller[] = {{"edit_1mb_seconds", size_t{1} << 20},
                                                      {"edit_10mb_seconds", size_t{10} << 20}};
    for (const auto& [name, size] : smaller) {
        WriteDocument(original, size);
        std::vector<double> seconds;
        for (int run = 0; run < 5; ++run) {
            Restore(original, path);
            seconds.push_back(RunEdit(self, path).seconds);
        }
        Print(name, Median(seconds));
    }
    Print("peak_memory_vs_document", MeasureEditAgainstCopy(self, folder, "").peakOverSize);
}

// The same edit on a file system whose times have whole seconds (ext4 with inodes of 128 bytes),
// where a change within the second shows in no time and the program compares digests of the
// text. The file system is a loop image mounted in a mount namespace of this process's own,
// which needs root; where it cannot be had, the reason goes to the standard error and these
// figures are not printed.
void MeasureWholeSecondEdit(const std::string& self, const std::string& folder) {
    const auto skip = [](const std::string& why) {
        std::fprintf(stderr, "velloran-bench: no whole-second figures: %s\n", why.c_str());
    };
    if (::geteuid() != 0) return skip("mounting a loop image needs root");
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return skip(std::string("no mount namespace of its own: ") + std::strerror(errno));

    const std::string image = folder + "/whole-seconds.img", mountPoint = folder + "/whole-seconds";
    std::ofstream(image).close();
    std::filesystem::resize_file(image, size_t{600} << 20);  // room for four documents and a journal
    if (Run({"mkfs.ext4", "-q", "-F", "-I", "128", image}, false).status != 0)
        return skip("mkfs.ext4 -I 128 cannot make the image");
    std::filesystem::create_directory(mountPoint);
    if (Run({"mount", "-o", "loop", image, mountPoint}, false).status != 0)
        return skip("the image cannot be mounted through a loop device");
    Mounted() = mountPoint;

    const std::string probe = mountPoint + "/probe";
    std::ofstream(probe).close();
    struct stat info {};
    if (::stat(probe.c_str(), &info) != 0) Fail("cannot make " + probe);
    std::filesystem::remove(probe);
    if (info.st_mtim.tv_nsec != 0) {
        skip("the file system keeps fractions of a second");
    } else {
        const double edit = MeasureEditAgainstCopy(self, mountPoint, "whole_seconds_").medianSeconds;
        // Such an edit digests the text three times: as it is read, as the new text is written,
        // and as the file is read again before it is replaced. The digest's speed does not
        // depend on the bytes.
        const std::string text(size_t{100} << 20, 'x');
        std::vector<double> digests;
        uint64_t sum = 0;
        for (int run = 0; run < 5; ++run) {
            const Clock::time_point start = Clock::now();
            sum += DigestOf(text);
            digests.push_back(SecondsSince(start));
        }
        if (sum == 0) Fail("every digest was zero");  // keeps the digests from being left out
        Print("digest_100mb_seconds", Median(digests));
        Print("whole_seconds_digests_vs_edit", 3 * Median(digests) / edit);
    }
    if (::umount2(mountPoint.c_str(), 0) != 0) Fail("cannot unmount " + mountPoint);
    Mounted().clear();
}
}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--startup-child") return StartupChild(argv[0]);
    if (mode == "--minimal-child") return MinimalChild(1, argv);
    if (mode == "--edit-child" && argc == 3) return EditChild(argv[0], argv[2]);
    if (!mode.empty()) Fail("usage: velloran-bench [--edit-child DOCUMENT | --startup-child | --minimal-child]");

    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string self = std::filesystem::canonical("/proc/self/exe");
    std::string folder = (std::filesystem::temp_directory_path() / "velloran-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) Fail("cannot make a temporary folder");
    Folder() = folder;
    MeasureStartup(self);
    MeasureEdits(self, folder);
    MeasureWholeSecondEdit(self, folder);
    std::filesystem::remove_all(folder);
    return 0;
}
