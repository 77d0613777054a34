#pragma once

#include <memory>

#include "runtime/RuntimeException.h"

// The whole run: the run time starts, every class registers, the program runs its event loop,
// and the run time shuts down. The result is the exit status.
int ProgramMain(int argc, char** argv);

void RegisterClasses();
void RunProgram();
std::shared_ptr<RuntimeException> ExceptionHelper(void (*code)(void*), void* argument);
void InitProgram();
void LoadFrameworkPlugins();
void InitFileTypesModule();
void CreateAppObject();
void InitModules();
void DefaultWindowDelegate();
void OpenDefaultWindow();
void ExitModules();
