#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
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

// The program's window, made in this process as start-up makes it. The test main's listener
// releases it, with everything else the test set up in the run time, before the next test.
class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartProgramServices();
        window_ = ImplicitWindowVelloran();
    }
    WindowVelloran& window() { return *window_; }
    App& app() { return *AppInstance(); }

private:
    Ref<WindowVelloran> window_;
};

// The environment variable that tells a test it runs in a copied bundle, and where that is.
inline const char* const kPrivateBundle = "VELLORAN_PRIVATE_BUNDLE";

// Runs the tests that `filter` names in a copy of this test bundle that carries only the
// resources named, so that a test may change or lack resources without touching the bundle the
// other tests share. Returns the child's exit code and output.
inline std::pair<int, std::string> RunInPrivateBundle(const QStringList& resources, const QString& filter) {
    QTemporaryDir dir;
    const QString bundle = dir.path() + "/Copy.app";
    const QString shared = QCoreApplication::applicationDirPath() + "/../Resources/";
    QDir().mkpath(bundle + "/Contents/MacOS");
    QDir().mkpath(bundle + "/Contents/Resources");
    const QString executable = bundle + "/Contents/MacOS/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QFile::copy(QCoreApplication::applicationFilePath(), executable);
    for (const QString& name : resources) {
        QDir().mkpath(QFileInfo(bundle + "/Contents/Resources/" + name).path());
        QFile::copy(shared + name, bundle + "/Contents/Resources/" + name);
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kPrivateBundle, bundle);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(executable, {"--gtest_filter=" + filter});
    if (!child.waitForFinished(120000)) return {-1, "the child did not finish"};
    return {child.exitCode(), child.readAll().toStdString()};
}
