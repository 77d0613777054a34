#include "Application.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include "runtime/ClassRegistry.h"
#include "runtime/Runtime.h"

namespace {
[[noreturn]] void NotSupported(const char* operation) {
    throw UnsupportedOperationException(std::string("Application.") + operation + " is not supported");
}

class ThreadHandle : public Object {};
}  // namespace

const ClassInfo& Application::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("Application")) return *cls;
    return ClassBuilder("Application", nullptr, [] { return std::make_shared<Application>(); })
        .Events({"Activate", "CancelClose", "Close", "Deactivate", "EnableMenuItems",
                 "HandleAppleEvent", "NewDocument", "Open", "OpenDocument", "UnhandledException"})
        .Virtual(::Virtual("AddTrayItem", &Application::AddTrayItem))
        .Virtual(::Virtual("DoEvents", &Application::DoEvents))
        .Virtual(::Virtual("NewDocument", &Application::NewDocument))
        .Virtual(::Virtual("OpenDocument", &Application::OpenDocument))
        .Virtual(::Virtual("RemoveTrayItem", &Application::RemoveTrayItem))
        .Virtual(::Virtual("SleepCurrentThread", &Application::SleepCurrentThread))
        .Virtual(::Virtual("YieldToNextThread", &Application::YieldToNextThread))
        .Virtual(::Virtual("_AddMenuHandler", &Application::_AddMenuHandler))
        .Virtual(::Virtual("_AddPollableObject", &Application::_AddPollableObject))
        .Virtual(::Virtual("_DoSingleEvent", &Application::_DoSingleEvent))
        .Virtual(::Virtual("_RemovePollableObject", &Application::_RemovePollableObject))
        .Virtual(::Virtual("__DependencyList", &Application::__DependencyList))
        .Register();
}

// The build gives the application's version; the program holds none.
int32_t Application::MajorVersion() const { return VELLORAN_VERSION_MAJOR; }
int32_t Application::MinorVersion() const { return VELLORAN_VERSION_MINOR; }
int32_t Application::BugVersion() const { return VELLORAN_VERSION_PATCH; }

Ref<FolderItem> Application::ExecutableFile() const { return AppFolderItemGetter(); }

Ref<FolderItem> AppFolderItemGetter() {
    return FolderItem::FromShellPath(String(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()));
}

Ref<Object> Application::CurrentThread() const {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return nullptr;
    return std::make_shared<ThreadHandle>();
}

void Application::AddTrayItem() { NotSupported("AddTrayItem"); }
void Application::DoEvents() { QCoreApplication::processEvents(); }
void Application::NewDocument() { RaiseClassEvent<>(*this, "NewDocument"); }
void Application::OpenDocument(Ref<FolderItem> item) {
    RaiseClassEvent<Ref<FolderItem>>(*this, "OpenDocument", std::move(item));
}
void Application::RemoveTrayItem() { NotSupported("RemoveTrayItem"); }
void Application::SleepCurrentThread(int32_t milliseconds) { QThread::msleep(milliseconds); }
void Application::YieldToNextThread() { QThread::yieldCurrentThread(); }
void Application::_AddMenuHandler() { NotSupported("_AddMenuHandler: the application has no menus"); }
void Application::_AddPollableObject() { NotSupported("_AddPollableObject"); }
void Application::_DoSingleEvent() { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }
void Application::_RemovePollableObject() { NotSupported("_RemovePollableObject"); }
void Application::__DependencyList() { NotSupported("__DependencyList"); }
