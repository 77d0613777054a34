#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <set>

#include "TestSupport.h"
#include "runtime/ClassRegistry.h"
#include "runtime/FileType.h"
#include "runtime/Runtime.h"
#include "runtime/Trace.h"
#include "shell/PluginEntrypointNames.h"
#include "shell/Startup.h"
#include "window/WindowVelloran.h"

namespace {
// Runs the whole program in this process; when the event loop starts, `inLoop` runs in it.
int RunProgramWith(std::function<void()> inLoop, std::string failingCall = {}) {
    RuntimeSetTraceObserver([inLoop, failingCall](std::string_view call) {
        if (call == failingCall) throw NilObjectException("made to fail at " + failingCall);
        if (call == "RuntimeRun") QTimer::singleShot(0, inLoop);
    });
    char name[] = "Velloran";
    char* argv[] = {name, nullptr};
    const int status = ProgramMain(1, argv);
    RuntimeSetTraceObserver(nullptr);
    return status;
}

void CloseTheWindow() { ImplicitWindowVelloran()->Widget()->close(); }

std::vector<std::string> CallsBut(const std::string& prefix) {
    std::vector<std::string> calls;
    for (const auto& call : RuntimeTraceLog())
        if (call.rfind(prefix, 0) != 0) calls.push_back(call);
    return calls;
}

std::vector<std::string> StartupCalls() {
    std::vector<std::string> calls = {"RuntimeInit", "RuntimeSetExceptionHelper", "RuntimeInitExternalClasses",
                                      "RuntimeLoadPlugin AppearancePak.plugin:0", "RuntimeLoadPlugin RegEx.plugin:0",
                                      "RuntimeAllocatePluginEntrypointsTable 89"};
    for (auto name : kPluginEntrypointNames) calls.push_back("RuntimeLookupPluginEntrypoint " + std::string(name));
    return calls;
}

void ExpectReportedOnce(const std::string& exceptionClass) {
    EXPECT_EQ(std::count(RuntimeTraceLog().begin(), RuntimeTraceLog().end(),
                         "RuntimeUnhandledException " + exceptionClass), 1);
    const auto& calls = Recorded().calls;
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("MessageBox", 0) == 0; }), 1);
}
}  // namespace

TEST(Startup, FrameworkSeesEveryCallInOrderAndClosingTheWindowEndsTheRun) {
    const int status = RunProgramWith(CloseTheWindow);

    std::vector<std::string> expected = StartupCalls();
    for (const char* call :
         {"RuntimeRegisterFileType application/rtf", "RuntimeRegisterFileType text/plain",
          "RuntimeRegisterFileType application/rtfd", "RuntimeRegisterAppObject", "RunFrameworkInitialization",
          "RuntimeRun", "ApplicationQuit 0", "RuntimeDeregisterFileType application/rtf",
          "RuntimeDeregisterFileType text/plain", "RuntimeDeregisterFileType application/rtfd", "RuntimeExit"})
        expected.push_back(call);
    EXPECT_EQ(CallsBut("RegisterClass"), expected);
    EXPECT_EQ(kPluginEntrypointNames.front(), "_");
    EXPECT_EQ(kPluginEntrypointNames.back(), "RegExMatch.SubExpressionStartB(MatchNumber as Integer) as Integer");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(RuntimeRegisteredFileTypes().empty());
}

TEST(Startup, TheProgramsClassesRegisterAfterTheFrameworksOnceEach) {
    RunProgramWith(CloseTheWindow);
    const std::vector<const ClassInfo*> registered = RuntimeRegisteredClasses();
    RegisterClasses();
    EXPECT_EQ(RuntimeRegisteredClasses(), registered);  // a second pass changes nothing

    std::vector<std::string> names;
    for (const ClassInfo* cls : registered) names.push_back(cls->name);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());  // once each
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[names.size() - 2], "App");
    EXPECT_EQ(names.back(), "WindowVelloran.WindowVelloran");
    for (const ClassInfo* cls : registered) {
        if (!cls->base) continue;
        EXPECT_LT(std::find(names.begin(), names.end(), cls->base->name),
                  std::find(names.begin(), names.end(), cls->name)) << cls->name;
    }
}

TEST(Startup, AnExceptionWhileTheFileTypesRegisterIsReportedOnceAndTheExitStillRuns) {
    const int status = RunProgramWith(CloseTheWindow, "RuntimeRegisterFileType text/plain");

    std::vector<std::string> expected = StartupCalls();
    for (const char* call : {"RuntimeRegisterFileType application/rtf", "RuntimeRegisterFileType text/plain",
                             "RuntimeUnhandledException NilObjectException",
                             "RuntimeDeregisterFileType application/rtf", "RuntimeExit"})
        expected.push_back(call);
    EXPECT_EQ(CallsBut("RegisterClass"), expected);  // no App, no framework start, no event loop
    ExpectReportedOnce("NilObjectException");
    EXPECT_EQ(status, 1);
}

TEST(Startup, AnExceptionThatEscapesTheEventLoopIsReportedOnceAndTheFileTypesAreWithdrawn) {
    const int status = RunProgramWith([] { RuntimeDispatch([] { throw IOException("the disk went away"); }); });

    ExpectReportedOnce("IOException");
    const auto calls = CallsBut("RegisterClass");
    const std::vector<std::string> tail(calls.end() - 5, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"RuntimeUnhandledException IOException",
                                              "RuntimeDeregisterFileType application/rtf",
                                              "RuntimeDeregisterFileType text/plain",
                                              "RuntimeDeregisterFileType application/rtfd", "RuntimeExit"}));
    EXPECT_EQ(status, 1);
}

TEST(ExceptionHelper, TurnsARuntimeExceptionIntoItsResultAndLetsOthersThrough) {
    EXPECT_EQ(ExceptionHelper([](void*) {}, nullptr), nullptr);

    auto raised = ExceptionHelper([](void*) { throw NilObjectException("nothing there"); }, nullptr);
    ASSERT_NE(raised, nullptr);
    EXPECT_STREQ(raised->ClassName(), "NilObjectException");
    EXPECT_STREQ(raised->what(), "nothing there");

    int argument = 41;
    ExceptionHelper([](void* p) { ++*static_cast<int*>(p); }, &argument);
    EXPECT_EQ(argument, 42);

    EXPECT_THROW(ExceptionHelper([](void*) { throw std::logic_error("not ours"); }, nullptr), std::logic_error);
}

TEST(FileTypes, TheThreeKindsRegisterInOrderOnceEach) {
    std::vector<FileTypeRegistration> seen;
    RunProgramWith([&] {
        seen = RuntimeRegisteredFileTypes();
        CloseTheWindow();
    });

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, "application/rtf");
    EXPECT_EQ(seen[0].extensions, ".rtf");
    EXPECT_EQ(seen[0].macType, "TEXT");
    EXPECT_EQ(seen[0].macCreator, "");
    EXPECT_EQ(seen[1].name, "text/plain");
    EXPECT_EQ(seen[1].extensions, ".asc;.ascii;.bas;.c;.class;.cp;.cpp;.h;.hp;.hpp;.i3;.java;.m2;.m3;.mak;.text;.txt");
    EXPECT_EQ(seen[1].macCreator, "txt");
    EXPECT_EQ(seen[2].name, "application/rtfd");
    EXPECT_EQ(seen[2].macType, "");
}

TEST(FileTypes, ConvertingTwiceRegistersOnceAndDestroyingWithdraws) {
    RuntimeClearFileTypes();
    {
        auto type = std::make_shared<FileType>();
        type->Name = "application/x-test";
        EXPECT_FALSE(RuntimeIsFileTypeRegistered("application/x-test"));
        EXPECT_EQ(type->Operator_Convert(), String("application/x-test"));
        EXPECT_EQ(type->Operator_Convert(), String("application/x-test"));
        EXPECT_EQ(RuntimeRegisteredFileTypes().size(), 1u);
    }
    EXPECT_FALSE(RuntimeIsFileTypeRegistered("application/x-test"));
}
