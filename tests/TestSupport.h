#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Desktop.h"
#include "runtime/Plugins.h"
#include "runtime/RecordingDesktop.h"
#include "runtime/Runtime.h"
#include "shell/App.h"
#include "shell/Startup.h"
#include "ui/Window.h"
#include "window/WindowVelloran.h"

// What the program did on the desktop since the test began.
inline RecordingDesktop& Recorded() { return dynamic_cast<RecordingDesktop&>(CurrentDesktop()); }

// What the program's window needs, set up in this process as start-up does it: the classes,
// the plug-ins' entry table and the application object.
inline void StartProgramServices() {
    RegisterClasses();
    LoadFrameworkPlugins();
    CreateAppObject();
}

// The program's window, made in this process as start-up makes it.
class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartProgramServices();
        window_ = ImplicitWindowVelloran();
    }
    void TearDown() override {
        window_.reset();
        RuntimeReleaseWindows();
        RuntimeReleaseAppObject();
        RuntimeClearPlugins();
    }
    WindowVelloran& window() { return *window_; }
    App& app() { return *AppInstance(); }

private:
    Ref<WindowVelloran> window_;
};
