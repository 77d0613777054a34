#include "Startup.h"

#include "App.h"
#include "FileTypes.h"
#include "FrameworkClasses.h"
#include "PluginEntrypointNames.h"
#include "runtime/ClassRegistry.h"
#include "runtime/Plugins.h"
#include "runtime/Runtime.h"
#include "runtime/SystemClass.h"
#include "ui/EventLoop.h"
#include "window/WindowVelloran.h"

int ProgramMain(int argc, char** argv) {
    RuntimeInit(argc, argv);
    RegisterClasses();
    RunProgram();
    ExitModules();
    return RuntimeExit();
}

void RegisterClasses() {
    RuntimeRegisterFrameworkClasses();
    App::RegisterClass();
    WindowVelloran::RegisterClass();
    RegisterFileTypeRtf();
    RegisterFileTypeText();
    RegisterFileTypeRtfd();
}

// One handler covers every step: whatever escapes is reported once, the later steps are
// skipped, and the module exit still runs.
void RunProgram() {
    try {
        RuntimeSetExceptionHelper(&ExceptionHelper);
        InitProgram();
        RunFrameworkInitialization(&DefaultWindowDelegate);
        RuntimeRun();
    } catch (const RuntimeException& exception) {
        RuntimeUnhandledException(exception);
    } catch (const std::exception& exception) {
        RuntimeUnhandledException(RuntimeException(exception.what()));
    } catch (...) {
        RuntimeUnhandledException(RuntimeException("an exception of unknown class"));
    }
}

std::shared_ptr<RuntimeException> ExceptionHelper(void (*code)(void*), void* argument) {
    try {
        code(argument);
        return nullptr;
    } catch (const RuntimeException& exception) {
        return exception.Clone();
    }
}

void InitProgram() {
    RuntimeInitExternalClasses();
    LoadFrameworkPlugins();
    InitFileTypesModule();
    CreateAppObject();
    InitModules();
}

void LoadFrameworkPlugins() {
    RuntimeLoadPlugin("AppearancePak.plugin:0");
    RuntimeLoadPlugin("RegEx.plugin:0");
    auto& table = RuntimeAllocatePluginEntrypointsTable(static_cast<int>(kPluginEntrypointNames.size()));
    for (size_t slot = 0; slot < kPluginEntrypointNames.size(); ++slot)
        table[slot] = RuntimeLookupPluginEntrypoint(kPluginEntrypointNames[slot]);
}

void InitFileTypesModule() { InitFileTypes(); }

void CreateAppObject() {
    Ref<Object> app = RuntimeNewObject(App::ClassObject());
    CallVirtual<void>(*app, "Constructor");
    RuntimeRegisterAppObject(std::move(app));
}

void InitModules() {}

void DefaultWindowDelegate() { OpenDefaultWindow(); }

void OpenDefaultWindow() { ImplicitWindowVelloran(); }

void ExitModules() {
    SystemClass::_WebLanguageDelegate = nullptr;
    ReleaseFileTypeRtf();
    ReleaseFileTypeText();
    ReleaseFileTypeRtfd();
}
