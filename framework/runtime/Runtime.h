#pragma once

#include <exception>
#include <functional>
#include <memory>

#include "Object.h"
#include "RuntimeException.h"

// The exception helper: calls code with one pointer and returns the RuntimeException that the
// code raised, or nullptr. Any other exception passes through it.
using ExceptionHelperFunction = std::shared_ptr<RuntimeException> (*)(void (*code)(void*), void* argument);
void RuntimeSetExceptionHelper(ExceptionHelperFunction helper);

// Runs one piece of the program's code on behalf of the event loop: nothing escapes into Qt.
// An exception that escapes is kept, the event loop is asked to end, and RuntimeRun raises it
// again once the loop has returned.
void RuntimeDispatch(const std::function<void()>& handler);
std::exception_ptr RuntimeTakeEscapedException();  // and forget it
bool RuntimeHasEscapedException();

// Reports an exception that escaped the program: its class and message, on standard error and
// in a message box.
void RuntimeUnhandledException(const RuntimeException& exception);

void RuntimeInitExternalClasses();

// The application object, which the program registers once at start-up.
void RuntimeRegisterAppObject(Ref<Object> app);
Ref<Object> getAppObject();
void RuntimeReleaseAppObject();

// What the run time holds between RuntimeInit and RuntimeExit, emptied by both.
void RuntimeResetState();
int RuntimeQuitCode();
void RuntimeSetQuitCode(int code);
bool RuntimeReportedUnhandled();
