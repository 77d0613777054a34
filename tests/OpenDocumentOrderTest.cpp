#include <sys/wait.h>
#include <unistd.h>

#include <QEventLoop>
#include <QFileOpenEvent>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <fstream>
#include <functional>
#include <utility>

#include "TestFiles.h"
#include "TestSupport.h"
#include "files/FolderItem.h"
#include "runtime/NotNil.h"
#include "runtime/Trace.h"

namespace {
// A desktop whose message box, like a real one, runs an event loop of its own until it is
// answered; here the answer comes at once. For each box it notes the item given at that moment,
// how many boxes were open with it and how many documents came while it was up.
class AnsweringDesktop : public RecordingDesktop {
public:
    struct Box {
        std::string itemGiven;
        int open;
        size_t openedMeanwhile = 0;
        bool operator==(const Box&) const = default;
    };

    void MessageBox(const String& text) override {
        RecordingDesktop::MessageBox(text);
        const Ref<FolderItem> given = AppInstance()->myMajorFolderItem;
        const size_t box = boxes.size(), openedBefore = opened->size();
        boxes.push_back({given ? given->ShellPath().Bytes() : "(nil)", ++open_});
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        QEventLoop answer;
        QTimer::singleShot(0, &answer, &QEventLoop::quit);
        answer.exec();
        --open_;
        boxes[box].openedMeanwhile = opened->size() - openedBefore;
    }

    std::vector<Box> boxes;
    std::function<void()> whileOpen;  // runs once, in the first box
    const std::vector<std::string>* opened = nullptr;  // the documents handed to the program so far

private:
    int open_ = 0;
};

struct ProgramRun {
    int status = -1;
    std::vector<std::string> opened;  // the documents handed to the program, in order
    std::vector<AnsweringDesktop::Box> boxes;
    std::vector<std::string> calls;  // on the desktop
};

// Runs the whole program in this process on these documents, as given on the command line, with
// a desktop that answers every box. The window closes once `count` documents have come.
ProgramRun RunProgramOn(std::vector<std::string> documents, size_t count, std::function<void()> inFirstBox = {}) {
    auto owned = std::make_unique<AnsweringDesktop>();
    AnsweringDesktop& desktop = *owned;
    desktop.whileOpen = std::move(inFirstBox);
    SetDesktop(std::move(owned));
    ProgramRun run;
    desktop.opened = &run.opened;
    RuntimeSetTraceObserver([&](std::string_view call) {
        if (!call.starts_with("OpenDocument ")) return;
        run.opened.emplace_back(call.substr(13));
        if (run.opened.size() == count) QTimer::singleShot(0, [] { ImplicitWindowVelloran()->Widget()->close(); });
    });
    std::string name = "Velloran";
    std::vector<char*> argv = {name.data()};
    for (std::string& document : documents) argv.push_back(document.data());
    argv.push_back(nullptr);
    run.status = ProgramMain(static_cast<int>(argv.size() - 1), argv.data());
    RuntimeSetTraceObserver(nullptr);
    run.boxes = desktop.boxes;
    run.calls = desktop.calls;
    SetDesktop(std::make_unique<RecordingDesktop>());
    return run;
}

std::string Bytes(const QTemporaryDir& dir, const std::string& name) {
    return QFile::encodeName(dir.path()).toStdString() + "/" + name;
}

const char* const kNoPlaceForMargins = "{\\rtf1 no place for margins}";
}  // namespace

TEST(OpenDocuments, FortyGivenAtOnceShowOneMessageBoxAtATimeInOrder) {
    QTemporaryDir dir;
    std::vector<std::string> documents;
    std::vector<AnsweringDesktop::Box> boxes;
    std::vector<std::string> calls;
    for (int n = 0; n < 40; ++n) {
        documents.push_back(Bytes(dir, "Plain" + std::to_string(n) + ".rtf"));
        std::ofstream(documents.back()) << kNoPlaceForMargins;
        boxes.push_back({documents.back(), 1});
        // Each handler is over, with the beep after its box, before the next document comes.
        calls.push_back("MessageBox " + WindowVelloran::K_NOTMARGED("").Bytes());
        calls.push_back("Beep");
    }

    const ProgramRun run = RunProgramOn(documents, documents.size());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.opened, documents);
    EXPECT_EQ(run.boxes, boxes);
    EXPECT_EQ(run.calls, calls);
}

// A request that comes while a document's handler runs waits for it, and its address carries
// the name's bytes, which need not be UTF-8.
TEST(OpenDocuments, AFileOpenRequestWaitsForTheHandlerThatRunsAndNamesItsDocumentByBytes) {
    QTemporaryDir dir;
    const std::string plain = Bytes(dir, "Plain.rtf"), odd = Bytes(dir, "caf\xE9.rtf");
    std::ofstream(plain) << kNoPlaceForMargins;
    std::ofstream(odd) << "{\\rtf1\\margl1800 x}";
    const QUrl address = QUrl::fromEncoded(QUrl::fromLocalFile(dir.path()).toEncoded() + "/caf%E9.rtf");

    const ProgramRun run = RunProgramOn({plain}, 2, [&] {
        QFileOpenEvent request(address);
        QCoreApplication::sendEvent(qApp, &request);
    });

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.opened, (std::vector<std::string>{plain, odd}));
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.front(), (AnsweringDesktop::Box{plain, 1}));
    for (const auto& box : run.boxes) EXPECT_EQ(box.open, 1);
    ::unlink(odd.c_str());  // Qt cannot name it to remove the folder
}

// Each document's handler returns before the next comes, so the stack does not grow with
// their number. Run in a child, which a regression would crash.
TEST(OpenDocuments, ThousandsGivenAtOnceAreHandledInTurn) {
    QTemporaryDir dir;
    const std::string plain = Bytes(dir, "Plain.rtf");
    std::ofstream(plain) << kNoPlaceForMargins;
    const size_t count = 3000;

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        const ProgramRun run = RunProgramOn(std::vector<std::string>(count, plain), count);
        size_t alone = 0;
        for (const auto& box : run.boxes) alone += box.open == 1;
        const std::string report = "status " + std::to_string(run.status) + ", opened " +
                                   std::to_string(run.opened.size()) + ", boxes " + std::to_string(run.boxes.size()) +
                                   ", alone " + std::to_string(alone);
        [[maybe_unused]] const ssize_t written = ::write(pipe[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;) report.append(buffer, size_t(got));
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    ASSERT_TRUE(WIFEXITED(status)) << "the program was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(report, "status 0, opened 3000, boxes 3000, alone 3000");
}

// A box that another handler shows holds the documents still to come until it closes: "Change"
// fails on a document dropped while documents given wait their turn, and the window under its
// box goes on showing the document that the box speaks of.
TEST(OpenDocuments, TheDocumentsGivenWaitWhileABoxFromAnotherHandlerIsUp) {
    QTemporaryDir dir;
    const char* const kMargins = "{\\rtf1\\margl1800 x}";
    const std::string dropped = Bytes(dir, "Dropped.rtf");
    std::ofstream(dropped) << kMargins;
    std::vector<std::string> documents;
    for (int n = 0; n < 3; ++n) {
        documents.push_back(Bytes(dir, "Given" + std::to_string(n) + ".rtf"));
        std::ofstream(documents.back()) << kMargins;
    }
    std::string shownAfterBox;
    // The first turn of the event loop, before the first document given comes.
    QTimer::singleShot(0, [&] {
        const Ref<WindowVelloran> window = ImplicitWindowVelloran();
        ASSERT_TRUE(window->Margins(FolderItem::FromShellPath(String(dropped))));
        std::ofstream(dropped, std::ios::app) << " ";  // another program saves it
        QTest::mouseClick(NotNil(window->PushButtonChange()).Widget(), Qt::LeftButton);
        shownAfterBox = NotNil(window->LabelFile()).Text().Bytes();
    });

    const ProgramRun run = RunProgramOn(documents, documents.size());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.opened, documents);
    EXPECT_EQ(run.boxes, (std::vector<AnsweringDesktop::Box>{{"(nil)", 1, 0}}));
    EXPECT_EQ(run.calls, std::vector<std::string>{"MessageBox The document " + dropped +
                                                  " changed on disk since it was read. Open it again to change its "
                                                  "margins."});
    EXPECT_EQ(shownAfterBox, "Dropped.rtf");
}
