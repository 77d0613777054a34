#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "TestSupport.h"
#include "runtime/ClassRegistry.h"
#include "runtime/NotNil.h"

namespace {
// The program's window with a few handlers of its own: the window's wiring attaches every
// handler that the virtual table holds.
class ProbeWindow : public WindowVelloran {
public:
    static const ClassInfo& ClassObject() {
        if (const ClassInfo* cls = RuntimeFindClass("ProbeWindow")) return *cls;
        return ClassBuilder("ProbeWindow", &WindowVelloran::ClassObject(), [] { return std::make_shared<ProbeWindow>(); })
            .Virtual(Virtual("CanvasDrop_Open", &ProbeWindow::CanvasDrop_Open))
            .Virtual(Virtual("PushButtonChange_Action", &ProbeWindow::PushButtonChange_Action))
            .Virtual(Virtual("BevelButtonSend_Action", &ProbeWindow::BevelButtonSend_Action))
            .Register();
    }

    void CanvasDrop_Open(Canvas& sender) {
        calls.push_back("CanvasDrop_Open " + sender.Name().Bytes());
        controlsAtOpen = Controls().size();
        versionAtOpen = NotNil(LabelVersion(), "LabelVersion").Text().Bytes();
    }
    void PushButtonChange_Action(PushButton& sender) { calls.push_back("PushButtonChange_Action " + sender.Name().Bytes()); }
    void BevelButtonSend_Action(BevelButton& sender) { calls.push_back("BevelButtonSend_Action " + sender.Name().Bytes()); }

    std::vector<std::string> calls;
    size_t controlsAtOpen = 0;
    std::string versionAtOpen;
};

// A handler that takes no control: it does not fit its event.
class MisfitWindow : public WindowVelloran {
public:
    static const ClassInfo& ClassObject() {
        if (const ClassInfo* cls = RuntimeFindClass("MisfitWindow")) return *cls;
        return ClassBuilder("MisfitWindow", &WindowVelloran::ClassObject(), [] { return std::make_shared<MisfitWindow>(); })
            .Virtual(Virtual("PushButtonWeb_Action", &MisfitWindow::PushButtonWeb_Action))
            .Register();
    }
    void PushButtonWeb_Action() {}
};

template <class W>
Ref<W> Construct() {
    Ref<Object> window = RuntimeNewObject(W::ClassObject());
    CallVirtual<void>(*window, "Constructor");
    return RuntimeCheckCast<W>(window);
}

class EventWiringTest : public ::testing::Test {
protected:
    void SetUp() override { StartProgramServices(); }
};
}  // namespace

TEST_F(EventWiringTest, OpenComesOnceAllControlsExistAndActionsReachTheirHandlers) {
    auto window = Construct<ProbeWindow>();
    EXPECT_EQ(window->calls, std::vector<std::string>{"CanvasDrop_Open CanvasDrop"});
    EXPECT_EQ(window->controlsAtOpen, 18u);
    EXPECT_EQ(window->versionAtOpen, "Version");
    window->calls.clear();

    auto& change = NotNil(window->PushButtonChange());
    QTest::mouseClick(change.Widget(), Qt::LeftButton);  // disabled: nothing
    change.SetEnabled(true);
    QTest::mouseClick(change.Widget(), Qt::LeftButton);
    auto& send = NotNil(window->BevelButtonSend());
    send.SetVisible(true);
    QTest::mouseClick(send.Widget(), Qt::LeftButton);
    send.Push();
    NotNil(window->PushButtonWeb()).Push();  // no handler: nothing
    EXPECT_EQ(window->calls, (std::vector<std::string>{"PushButtonChange_Action PushButtonChange",
                                                       "BevelButtonSend_Action BevelButtonSend",
                                                       "BevelButtonSend_Action BevelButtonSend"}));
}

TEST_F(EventWiringTest, ReturnOrEnterInAFieldPressesTheDefaultButtonOnlyWhileItIsEnabled) {
    auto window = Construct<ProbeWindow>();
    window->calls.clear();
    QWidget* field = NotNil(window->TextFieldMargL()).Widget();

    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(window->calls.empty());

    NotNil(window->PushButtonChange()).SetEnabled(true);
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(window->calls, (std::vector<std::string>{"PushButtonChange_Action PushButtonChange",
                                                       "PushButtonChange_Action PushButtonChange"}));
}

TEST_F(EventWiringTest, AHandlerOfAnotherShapeIsRefusedWhenItIsWired) {
    EXPECT_THROW(Construct<MisfitWindow>(), IllegalCastException);
}

TEST_F(EventWiringTest, AnEventOfAClosedWindowRaisesNilObjectInsteadOfCallingTheHandler) {
    Ref<PushButton> change;
    {
        auto window = Construct<ProbeWindow>();
        change = window->PushButtonChange();
    }
    RuntimeReleaseWindows();  // the last reference to the window goes
    ASSERT_FALSE(RuntimeHasEscapedException());
    change->Push();
    auto escaped = RuntimeTakeEscapedException();
    ASSERT_TRUE(escaped);
    EXPECT_THROW(std::rethrow_exception(escaped), NilObjectException);
}

TEST_F(EventWiringTest, TheWiredEventNumbersAreThoseOfTheClassesEventLists) {
    struct Event {
        const ClassInfo& cls;
        const char* name;
        int number;
    };
    const Event events[] = {
        {Control::ClassObject(), "Open", Control::kOpenEvent},
        {RectControl::ClassObject(), "DropObject", RectControl::kDropObjectEvent},
        {RectControl::ClassObject(), "MouseWheel", RectControl::kFirstOwnEvent - 1},
        {PushButton::ClassObject(), "Action", PushButton::kActionEvent},
        {BevelButton::ClassObject(), "MouseUp", BevelButton::kFirstOwnEvent},
        {BevelButton::ClassObject(), "Action", BevelButton::kActionEvent},
        {Canvas::ClassObject(), "Open", Control::kOpenEvent},
    };
    for (const Event& e : events) EXPECT_EQ(e.cls.EventNumber(e.name), e.number) << e.cls.name << "." << e.name;
    EXPECT_EQ(PushButton::kActionEvent, 15);
    EXPECT_EQ(BevelButton::kActionEvent, 17);
    EXPECT_EQ(RectControl::kDropObjectEvent, 8);
}
