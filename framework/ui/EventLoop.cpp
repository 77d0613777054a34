#include "EventLoop.h"

#include <QApplication>
#include <QFileOpenEvent>
#include <QTimer>
#include <csignal>
#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "FileAddress.h"
#include "QtDesktop.h"
#include "Window.h"
#include "runtime/FileType.h"
#include "runtime/Plugins.h"
#include "runtime/Runtime.h"
#include "runtime/Trace.h"

namespace {
struct LoopState {
    std::unique_ptr<QApplication> ownedApp;
    std::unique_ptr<QObject> fileOpenFilter;
    std::vector<std::string> documents;  // the paths on the command line, as bytes
    std::deque<Ref<FolderItem>> waiting;  // the documents that are still to be opened, in order
    bool opening = false;                 // while the handler of one runs
};

LoopState& State() {
    static LoopState state;
    return state;
}

void OpenNextDocument();

void PostOpenNextDocument() { QTimer::singleShot(0, qApp, &OpenNextDocument); }

// The documents are handed to the program one at a time. A message box runs an event loop of
// its own, and the next document must not arrive in there, whichever handler showed the box:
// it waits until the handler that opens a document has returned and no box is up, so that at
// most one box is on screen, it speaks of the document that the window shows, and the stack
// stays flat however many documents were given.
void OpenNextDocument() {
    LoopState& state = State();
    if (state.opening || RuntimeMessageBoxShown() || state.waiting.empty()) return;
    const Ref<FolderItem> item = std::move(state.waiting.front());
    state.waiting.pop_front();
    state.opening = true;
    RuntimeDispatch([item] {
        RuntimeTrace("OpenDocument " + (item ? item->ShellPath().Bytes() : std::string()));
        auto app = std::dynamic_pointer_cast<Application>(getAppObject());
        if (app) app->OpenDocument(item);
    });
    state.opening = false;
    if (!state.waiting.empty()) PostOpenNextDocument();
}

// The last box has closed. A handler that opens a document posts the next turn itself when it
// returns.
void ResumeOpeningDocuments() {
    const LoopState& state = State();
    if (!state.opening && !state.waiting.empty()) PostOpenNextDocument();
}

void QueueOpenDocument(Ref<FolderItem> item) {
    LoopState& state = State();
    // Otherwise a turn is already posted, or the handler that runs posts one when it returns,
    // or the last box up does when it closes.
    const bool idle = !state.opening && !RuntimeMessageBoxShown() && state.waiting.empty();
    state.waiting.push_back(std::move(item));
    if (idle) PostOpenNextDocument();
}

// The Finder's open-document requests arrive as file-open events.
class FileOpenFilter : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FileOpen) return QObject::eventFilter(watched, event);
        QueueOpenDocument(FolderItemOfFileAddress(static_cast<QFileOpenEvent*>(event)->url()));
        return true;
    }
};
}  // namespace

void RuntimeInit(int argc, char** argv) {
    RuntimeResetState();
    RuntimeClearTrace();
    RuntimeClearFileTypes();
    RuntimeClearPlugins();
    RuntimeTrace("RuntimeInit");
    // A write beyond the process's file-size limit then fails with its reason, which the
    // program reports, instead of killing the program halfway through replacing a document.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!QApplication::instance()) {
        static int qtArgc;
        qtArgc = argc;
        State().ownedApp = std::make_unique<QApplication>(qtArgc, argv);
        argc = qtArgc;  // Qt has taken its own options out of argv
    }
    State().documents.assign(argv + std::min(argc, 1), argv + argc);
    QApplication::setApplicationName("Velloran");
    QApplication::setQuitOnLastWindowClosed(false);  // only ApplicationQuit ends the run
    if (!HasDesktop()) SetDesktop(std::make_unique<QtDesktop>());
    RuntimeSetMessageBoxesClosed(&ResumeOpeningDocuments);
}

void RunFrameworkInitialization(void (*defaultWindow)()) {
    RuntimeTrace("RunFrameworkInitialization");
    State().fileOpenFilter = std::make_unique<FileOpenFilter>();
    qApp->installEventFilter(State().fileOpenFilter.get());

    // A file manager's "Open with" hands the documents over on the command line; they arrive
    // one by one, in order, once the event loop runs.
    for (const std::string& path : State().documents) QueueOpenDocument(FolderItem::FromShellPath(String(path)));
    defaultWindow();
}

void RuntimeRun() {
    RuntimeTrace("RuntimeRun");
    if (!RuntimeHasEscapedException()) QApplication::exec();
    if (std::exception_ptr escaped = RuntimeTakeEscapedException()) std::rethrow_exception(escaped);
}

void ApplicationQuit(int code) {
    RuntimeTrace("ApplicationQuit " + std::to_string(code));
    RuntimeSetQuitCode(code);
    QCoreApplication::exit(code);
}

int RuntimeExit() {
    RuntimeTrace("RuntimeExit");
    const int status = RuntimeReportedUnhandled() ? 1 : RuntimeQuitCode();
    RuntimeReleaseWindows();
    RuntimeReleaseAppObject();
    State().fileOpenFilter.reset();
    State().waiting.clear();
    State().ownedApp.reset();
    return status;
}
