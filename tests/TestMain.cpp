#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "runtime/ClassRegistry.h"
#include "runtime/Desktop.h"
#include "runtime/Localization.h"
#include "runtime/Plugins.h"
#include "runtime/RecordingDesktop.h"
#include "runtime/Runtime.h"
#include "runtime/Trace.h"
#include "ui/Window.h"

namespace {
// What the run time holds across tests goes back to what a fresh process has: the windows and
// the application object, the registered classes, the plug-ins' entry table, the trace, the
// translations and a desktop that has recorded nothing. So every test sees the same start, run
// alone, in any order, or in a process of its own under ctest.
void StartAfresh() {
    RuntimeReleaseWindows();
    RuntimeResetState();
    RuntimeClearClasses();  // after the objects of those classes are gone
    RuntimeClearPlugins();
    RuntimeClearTrace();
    RuntimeSetTraceObserver(nullptr);
    ClearLocalizedStrings();
    QLocale::setDefault(QLocale::system());
    SetDesktop(std::make_unique<RecordingDesktop>());
}

class StartEachTestAfresh : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { StartAfresh(); }
};
}  // namespace

// Every test runs against real widgets offscreen, with a desktop that records instead of
// beeping or showing message boxes. Offscreen even where the environment names another
// platform: the tests that fork need a process of one thread, and a display connection starts
// threads of its own.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;  // the program must not take the test's own arguments for documents
    QApplication app(qtArgc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new StartEachTestAfresh);
    const int status = RUN_ALL_TESTS();
    StartAfresh();  // the last test's windows go while there is still an application
    return status;
}
