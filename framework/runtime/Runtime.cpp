#include "Runtime.h"

#include <QCoreApplication>
#include <cstdio>

#include "Desktop.h"
#include "Trace.h"

namespace {
struct RuntimeState {
    ExceptionHelperFunction exceptionHelper = nullptr;
    std::exception_ptr escaped;
    Ref<Object> app;
    int quitCode = 0;
    bool reportedUnhandled = false;
};

RuntimeState& State() {
    static RuntimeState state;
    return state;
}

void CallHandler(void* handler) { (*static_cast<const std::function<void()>*>(handler))(); }
}  // namespace

void RuntimeSetExceptionHelper(ExceptionHelperFunction helper) {
    RuntimeTrace("RuntimeSetExceptionHelper");
    State().exceptionHelper = helper;
}

void RuntimeDispatch(const std::function<void()>& handler) {
    std::exception_ptr escaped;
    try {
        if (State().exceptionHelper) {
            auto handlerCopy = handler;
            if (auto raised = State().exceptionHelper(&CallHandler, &handlerCopy)) raised->Raise();
        } else {
            handler();
        }
    } catch (...) {
        escaped = std::current_exception();
    }
    if (!escaped) return;
    if (!State().escaped) State().escaped = escaped;
    QCoreApplication::exit(1);
}

std::exception_ptr RuntimeTakeEscapedException() {
    std::exception_ptr escaped = State().escaped;
    State().escaped = nullptr;
    return escaped;
}

bool RuntimeHasEscapedException() { return State().escaped != nullptr; }

void RuntimeUnhandledException(const RuntimeException& exception) {
    RuntimeTrace(std::string("RuntimeUnhandledException ") + exception.ClassName());
    State().reportedUnhandled = true;
    const std::string text = std::string("An unhandled ") + exception.ClassName() +
                             " occurred: " + exception.what();
    std::fprintf(stderr, "%s\n", text.c_str());
    RuntimeMsgBox(String(text));
}

void RuntimeInitExternalClasses() { RuntimeTrace("RuntimeInitExternalClasses"); }

void RuntimeRegisterAppObject(Ref<Object> app) {
    RuntimeTrace("RuntimeRegisterAppObject");
    State().app = std::move(app);
}

Ref<Object> getAppObject() { return State().app; }
void RuntimeReleaseAppObject() { State().app.reset(); }

void RuntimeResetState() {
    State() = RuntimeState{};
}

int RuntimeQuitCode() { return State().quitCode; }
void RuntimeSetQuitCode(int code) { State().quitCode = code; }
bool RuntimeReportedUnhandled() { return State().reportedUnhandled; }
