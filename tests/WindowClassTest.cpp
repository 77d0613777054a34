#include <gtest/gtest.h>

#include <QWidget>
#include <thread>

#include "TestSupport.h"
#include "runtime/ClassRegistry.h"
#include "runtime/Runtime.h"
#include "runtime/Trace.h"
#include "shell/Startup.h"
#include "ui/EventLoop.h"
#include "window/WindowVelloran.h"

namespace {
class WindowClassTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "Velloran";
        char* argv[] = {name, nullptr};
        RuntimeInit(1, argv);
        StartProgramServices();
    }
    void TearDown() override { RuntimeExit(); }
};

std::vector<std::string> VirtualNames(const ClassInfo& cls) {
    std::vector<std::string> names;
    for (const auto& op : cls.vtable) names.push_back(op.name);
    return names;
}
}  // namespace

TEST_F(WindowClassTest, TheImplicitWindowIsMadeOnceAndCarriesItsDesignTimeProperties) {
    Ref<WindowVelloran> window = ImplicitWindowVelloran();
    EXPECT_EQ(ImplicitWindowVelloran(), window);
    EXPECT_EQ(RuntimeWindows().size(), 1u);

    const QWidget* widget = window->Widget();
    EXPECT_EQ(widget->windowTitle(), "Velloran");
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->size(), QSize(282, 326));
    EXPECT_EQ(widget->minimumSize(), QSize(282, 326));  // it cannot be resized
    EXPECT_EQ(widget->maximumSize(), QSize(282, 326));
    const Qt::WindowFlags flags = widget->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowFullscreenButtonHint);
    EXPECT_FALSE(widget->autoFillBackground());  // no background colour of its own
    EXPECT_EQ(window->BackColor(), (Color{0xE2, 0xE2, 0xE2}));
    EXPECT_EQ(window->MacProcId(), 0);
}

TEST_F(WindowClassTest, TheClassHooksThreeEventsAndKeepsTheBaseOperationsFirst) {
    const ClassInfo& cls = WindowVelloran::ClassObject();
    EXPECT_EQ(cls.name, "WindowVelloran.WindowVelloran");
    EXPECT_EQ(cls.base, &Window::ClassObject());
    EXPECT_EQ(cls.events.size(), 33u);
    EXPECT_EQ(cls.eventHooks, (std::vector<std::pair<std::string, std::string>>{
                                  {"Layout", "Layout"}, {"CreateControls", "CreateControls"}, {"Close", "Event_Close"}}));

    const std::vector<std::string> base = VirtualNames(Window::ClassObject());
    ASSERT_EQ(base.size(), 35u);
    EXPECT_EQ(base.front(), "AcceptFileDrop");
    EXPECT_EQ(base.back(), "__New");
    const std::vector<std::string> all = VirtualNames(cls);
    EXPECT_TRUE(std::equal(base.begin(), base.end(), all.begin()));
    EXPECT_EQ(all[35], "Layout");

    ASSERT_FALSE(cls.members.empty());
    EXPECT_EQ(cls.members.front().name, "Layout");
    for (const Member& member : cls.members) {
        ASSERT_FALSE(member.attributes.empty()) << member.name;
        EXPECT_EQ(member.attributes.front().name, "__Scope");
        EXPECT_EQ(member.attributes.front().value, "Public");
    }
}

TEST_F(WindowClassTest, AWindowIsNotMadeOffTheMainThread) {
    bool refused = false;
    std::thread([&] {
        try {
            ImplicitWindowVelloran();
        } catch (const ThreadAccessingUIException&) {
            refused = true;
        }
    }).join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(RuntimeGetImplicitWindow("WindowVelloran.WindowVelloran"), nullptr);
}

TEST_F(WindowClassTest, ClosingTheWindowAsksTheApplicationToQuitWithZero) {
    RuntimeSetQuitCode(7);  // so that only the close can make it 0
    ImplicitWindowVelloran()->Widget()->close();
    EXPECT_EQ(RuntimeExit(), 0);
    const auto& calls = RuntimeTraceLog();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ApplicationQuit 0"), calls.end());
}
