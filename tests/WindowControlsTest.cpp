#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "TestSupport.h"
#include "runtime/ClassRegistry.h"
#include "runtime/Localization.h"
#include "runtime/NotNil.h"
#include "ui/Picture.h"
#include "window/BundlePictures.h"
#include "window/ControlTables.h"

namespace {
const char* const kInstruction = "D\xC3\xA9poser le fichier et donner les marges";

RectControl& Named(WindowVelloran& window, const std::string& name) {
    return NotNil(RuntimeCheckCast<RectControl>(window._ControlByName(name)), name.c_str());
}

std::string Str(const String& s) { return s.Bytes(); }
std::string Str(const QString& s) { return s.toStdString(); }
}  // namespace

TEST_F(ProgramWindowTest, EachNameGivesAControlOfItsClassAtItsPlace) {
    struct Place {
        const char* name;
        const char* cls;
        int left, top, width, height;
    };
    const Place places[] = {
        {"PushButtonWeb", "PushButton", 14, 286, 30, 30},     {"CanvasDrop", "Canvas", 77, 71, 128, 128},
        {"TextFieldMargR", "TextField", 217, 123, 45, 22},    {"TextFieldMargL", "TextField", 20, 123, 45, 22},
        {"TextFieldMargT", "TextField", 119, 45, 45, 22},     {"TextFieldMargB", "TextField", 119, 201, 45, 22},
        {"PushButtonChange", "PushButton", 101, 286, 80, 20}, {"LabelMargL", "Label", 17, 105, 45, 20},
        {"LabelMargR", "Label", 214, 105, 45, 20},            {"LabelMargT", "Label", 114, 29, 45, 20},
        {"LabelMargB", "Label", 115, 221, 45, 20},            {"LabelHelp", "Label", 0, 0, 282, 20},
        {"LabelFile", "Label", 0, 253, 282, 20},              {"LabelAuthor", "Label", 14, 300, 48, 20},
        {"LabelVersion", "Label", 204, 300, 58, 20},          {"PushButtonHelp", "PushButton", 235, 271, 30, 30},
        {"BevelButtonSend", "BevelButton", 235, 201, 27, 22}, {"BevelButtonClear", "BevelButton", 43, 196, 22, 27},
    };
    ASSERT_EQ(window().Controls().size(), std::size(places));  // and no other control
    for (size_t i = 0; i < std::size(places); ++i) {
        const Place& p = places[i];
        EXPECT_EQ(window().Controls()[i].first, p.name);
        Ref<Object> control = window()._ControlByName(p.name);
        ASSERT_NE(control, nullptr) << p.name;
        EXPECT_EQ(control->Class()->name, p.cls) << p.name;
        auto& rect = Named(window(), p.name);
        EXPECT_EQ(Str(rect.Name()), p.name);
        EXPECT_EQ(rect.Widget()->geometry(), QRect(p.left, p.top, p.width, p.height)) << p.name;
        EXPECT_EQ(rect.Widget()->parentWidget(), window().Widget()) << p.name;
    }
    EXPECT_EQ(window().Widget()->size(), QSize(282, 326));
}

TEST_F(ProgramWindowTest, EveryAccessorReturnsTheControlRegisteredUnderItsName) {
    WindowVelloran& w = window();
    const std::vector<Ref<Object>> accessed = {
        w.PushButtonWeb(),  w.CanvasDrop(), w.TextFieldMargR(), w.TextFieldMargL(), w.TextFieldMargT(),
        w.TextFieldMargB(), w.PushButtonChange(), w.LabelMargL(), w.LabelMargR(), w.LabelMargT(),
        w.LabelMargB(),     w.LabelHelp(), w.LabelFile(), w.LabelAuthor(), w.LabelVersion(),
        w.PushButtonHelp(), w.BevelButtonSend(), w.BevelButtonClear()};
    ASSERT_EQ(accessed.size(), w.Controls().size());
    for (size_t i = 0; i < accessed.size(); ++i) EXPECT_EQ(accessed[i], w.Controls()[i].second) << w.Controls()[i].first;
    EXPECT_EQ(w.TextFieldMargR()->Left(), 217);  // the right field, though it comes first
}

TEST_F(ProgramWindowTest, StateAfterCreation) {
    struct Expected {
        const char* name;
        bool visible, enabled;
        const char* helpTag;
    };
    const Expected controls[] = {
        {"PushButtonWeb", true, true, "Zell Software Web Site"},
        {"CanvasDrop", true, true, kInstruction},
        {"TextFieldMargR", true, true, ""},
        {"TextFieldMargL", true, true, ""},
        {"TextFieldMargT", true, true, ""},
        {"TextFieldMargB", true, true, ""},
        {"PushButtonChange", true, false, ""},
        {"LabelMargL", true, true, ""},
        {"LabelMargR", true, true, ""},
        {"LabelMargT", true, true, ""},
        {"LabelMargB", true, true, ""},
        {"LabelHelp", true, true, ""},
        {"LabelFile", true, true, ""},
        {"LabelAuthor", true, true, kMakersWebPage},
        {"LabelVersion", true, true, ""},
        {"PushButtonHelp", true, true, "Help"},
        {"BevelButtonSend", false, true, "Open with\nTextEdit"},
        {"BevelButtonClear", false, true, "Clear\nSelection"},
    };
    for (const Expected& e : controls) {
        auto& control = Named(window(), e.name);
        EXPECT_EQ(control.Visible(), e.visible) << e.name;
        EXPECT_EQ(control.Widget()->isVisible(), e.visible) << e.name;
        EXPECT_EQ(control.Enabled(), e.enabled) << e.name;
        EXPECT_EQ(control.Widget()->isEnabled(), e.enabled) << e.name;
        EXPECT_EQ(Str(control.HelpTag()), e.helpTag) << e.name;
        EXPECT_EQ(Str(control.Widget()->toolTip()), e.helpTag) << e.name;
    }

    auto& change = NotNil(window().PushButtonChange(), "PushButtonChange");
    EXPECT_TRUE(change.Default());
    EXPECT_TRUE(static_cast<QPushButton*>(change.Widget())->isDefault());
    EXPECT_EQ(Str(change.Caption()), "Change");
    EXPECT_EQ(Str(static_cast<QPushButton*>(change.Widget())->text()), "Change");
    EXPECT_EQ(Str(NotNil(window().PushButtonWeb()).Caption()), "W");
    auto& help = NotNil(window().PushButtonHelp());
    EXPECT_EQ(Str(help.Caption()), "");
    EXPECT_FALSE(static_cast<QPushButton*>(help.Widget())->icon().isNull());  // the help icon stands in for a title

    EXPECT_EQ(Str(NotNil(window().LabelHelp()).Text()), kInstruction);
    EXPECT_EQ(Str(NotNil(window().LabelAuthor()).Text()), "Zell");
    for (auto field : {window().TextFieldMargR(), window().TextFieldMargL(), window().TextFieldMargT(),
                       window().TextFieldMargB()})
        EXPECT_EQ(Str(NotNil(field).Text()), "");
    for (auto label : {window().LabelMargL(), window().LabelMargR(), window().LabelMargT(), window().LabelMargB(),
                       window().LabelFile()})
        EXPECT_EQ(Str(NotNil(label).Text()), "");

    auto& drop = NotNil(window().CanvasDrop());
    EXPECT_EQ(drop.Backdrop(), VelloranDrop());
    EXPECT_NE(drop.Backdrop(), nullptr);
    EXPECT_EQ(NotNil(window().BevelButtonSend()).Icon(), SendMiniIcon());
    EXPECT_EQ(NotNil(window().BevelButtonClear()).Icon(), ClearMiniIcon());
}

TEST_F(ProgramWindowTest, TabFromTheTopFieldGoesLeftRightBottomThenChange) {
    NotNil(window().PushButtonChange()).SetEnabled(true);  // as once a document has been read
    QWidget* top = window().Widget();
    top->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    NotNil(window().TextFieldMargT()).Widget()->setFocus();

    std::vector<std::string> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        for (const auto& [name, control] : window().Controls())
            if (RuntimeCheckCast<RectControl>(control)->Widget() == QApplication::focusWidget()) visited.push_back(name);
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"TextFieldMargL", "TextFieldMargR", "TextFieldMargB", "PushButtonChange"}));
}

TEST_F(ProgramWindowTest, TheMembersStandInTheirOrderAndTheInstanceMethodsInTheVirtualTable) {
    struct Expected {
        const char* name;
        MemberKind kind;
        const char* signature;
    };
    // Every member the class declares, in its order; those that are not written yet are
    // skipped, so that adding one keeps this order.
    const Expected all[] = {
        {"Layout", MemberKind::Instance, "%%"},
        {"CreateControls", MemberKind::Instance, "%%"},
        {"_CreateControls0", MemberKind::Instance, "%%"},
        {"PushButtonWeb", MemberKind::Instance, "%o<PushButton>%"},
        {"CanvasDrop", MemberKind::Instance, "%o<Canvas>%"},
        {"TextFieldMargR", MemberKind::Instance, "%o<TextField>%"},
        {"TextFieldMargL", MemberKind::Instance, "%o<TextField>%"},
        {"TextFieldMargT", MemberKind::Instance, "%o<TextField>%"},
        {"TextFieldMargB", MemberKind::Instance, "%o<TextField>%"},
        {"PushButtonChange", MemberKind::Instance, "%o<PushButton>%"},
        {"LabelMargL", MemberKind::Instance, "%o<Label>%"},
        {"LabelMargR", MemberKind::Instance, "%o<Label>%"},
        {"LabelMargT", MemberKind::Instance, "%o<Label>%"},
        {"LabelMargB", MemberKind::Instance, "%o<Label>%"},
        {"LabelHelp", MemberKind::Instance, "%o<Label>%"},
        {"LabelFile", MemberKind::Instance, "%o<Label>%"},
        {"LabelAuthor", MemberKind::Instance, "%o<Label>%"},
        {"LabelVersion", MemberKind::Instance, "%o<Label>%"},
        {"PushButtonHelp", MemberKind::Instance, "%o<PushButton>%"},
        {"BevelButtonSend", MemberKind::Instance, "%o<BevelButton>%"},
        {"BevelButtonClear", MemberKind::Instance, "%o<BevelButton>%"},
        {"PushButtonWeb_Action", MemberKind::Instance, nullptr},
        {"CanvasDrop_Open", MemberKind::Instance, nullptr},
        {"CanvasDrop_DropObject", MemberKind::Instance, nullptr},
        {"PushButtonChange_Action", MemberKind::Instance, nullptr},
        {"PushButtonHelp_Action", MemberKind::Instance, nullptr},
        {"BevelButtonSend_Action", MemberKind::Instance, nullptr},
        {"BevelButtonClear_Action", MemberKind::Instance, nullptr},
        {"Event_Close", MemberKind::Instance, "%%"},
        {"Margins", MemberKind::Instance, nullptr},
        {"K_INSTRUCTION", MemberKind::Shared, "%s%s"},
        {"K_CHANGE", MemberKind::Shared, "%s%s"},
        {"K_OPENWITH", MemberKind::Shared, "%s%s"},
        {"K_NOTMARGED", MemberKind::Shared, "%s%s"},
        {"K_CLEARSELECTION", MemberKind::Shared, "%s%s"},
        {"K_ZELL", MemberKind::Shared, "%s%s"},
        {"K_HELP", MemberKind::Shared, "%s%s"},
    };
    const ClassInfo& cls = WindowVelloran::ClassObject();
    std::vector<std::string> expectedOrder, declaredOrder, instanceOrder;
    for (const Member& m : cls.members) {
        declaredOrder.push_back(m.name);
        if (m.kind == MemberKind::Instance) instanceOrder.push_back(m.name);
    }
    for (const Expected& e : all) {
        auto found = std::find_if(cls.members.begin(), cls.members.end(), [&](const Member& m) { return m.name == e.name; });
        if (found == cls.members.end()) {
            EXPECT_EQ(e.signature, nullptr) << e.name << " is missing";
            continue;
        }
        expectedOrder.push_back(e.name);
        EXPECT_EQ(found->kind, e.kind) << e.name;
        if (e.signature) {
            EXPECT_EQ(found->signature, e.signature) << e.name;
        }
        std::vector<std::string> attributes;
        for (const Attribute& a : found->attributes) attributes.push_back(a.name + "=" + a.value);
        std::vector<std::string> wanted = {"__Scope=Public"};
        if (e.name == std::string("_CreateControls0")) wanted.push_back("Hidden=");
        if (e.kind == MemberKind::Shared) wanted.push_back("__Shared=");
        EXPECT_EQ(attributes, wanted) << e.name;
    }
    EXPECT_EQ(declaredOrder, expectedOrder);

    const size_t inherited = Window::ClassObject().vtable.size();
    ASSERT_EQ(inherited, 35u);
    std::vector<std::string> own;
    for (size_t i = inherited; i < cls.vtable.size(); ++i) own.push_back(cls.vtable[i].name);
    EXPECT_EQ(own, instanceOrder);
}

TEST(LocalizableTexts, EachHasItsKeyAndDefaultAndAsksTheLookupAtEveryCall) {
    struct Constant {
        String (*text)(const String&);
        const char* key;
        std::string defaultText;
    };
    const Constant constants[] = {
        {&WindowVelloran::K_INSTRUCTION, "WindowVelloran.K_INSTRUCTION", kInstruction},
        {&WindowVelloran::K_CHANGE, "WindowVelloran.K_CHANGE", "Change"},
        {&WindowVelloran::K_OPENWITH, "WindowVelloran.K_OPENWITH", "Open with\x0ATextEdit"},
        {&WindowVelloran::K_NOTMARGED, "WindowVelloran.K_NOTMARGED",
         "No match found with a marged .rtf syntax,\x0A"
         "First Open and force it Save as .rtf file with TextEdit."},
        {&WindowVelloran::K_CLEARSELECTION, "WindowVelloran.K_CLEARSELECTION", "Clear\x0ASelection"},
        {&WindowVelloran::K_ZELL, "WindowVelloran.K_ZELL", "Zell Software Web Site"},
        {&WindowVelloran::K_HELP, "WindowVelloran.K_HELP", "Help"},
    };
    for (const Constant& c : constants) EXPECT_EQ(Str(c.text("")), c.defaultText) << c.key;

    const std::string language = QLocale().name().toStdString();  // what the empty language stands for
    for (const Constant& c : constants) RegisterLocalizedString(c.key, language, std::string("translated ") + c.key);
    for (const Constant& c : constants) EXPECT_EQ(Str(c.text("")), std::string("translated ") + c.key);
}

namespace {
// The window made while translations are registered for the user's language.
class TranslatedWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        for (const char* name : {"K_INSTRUCTION", "K_CHANGE", "K_OPENWITH", "K_CLEARSELECTION", "K_ZELL", "K_HELP"})
            RegisterLocalizedString(std::string("WindowVelloran.") + name, "de", std::string("de:") + name);
        ProgramWindowTest::SetUp();
    }
};
}  // namespace

TEST_F(TranslatedWindowTest, TheLocalizableTextsFollowTheTranslationAndTheTablesTextsDoNot) {
    EXPECT_EQ(Str(NotNil(window().PushButtonChange()).Caption()), "de:K_CHANGE");
    EXPECT_EQ(Str(NotNil(window().LabelHelp()).Text()), "de:K_INSTRUCTION");
    EXPECT_EQ(Str(NotNil(window().CanvasDrop()).HelpTag()), "de:K_INSTRUCTION");
    EXPECT_EQ(Str(NotNil(window().PushButtonWeb()).HelpTag()), "de:K_ZELL");
    EXPECT_EQ(Str(NotNil(window().PushButtonHelp()).HelpTag()), "de:K_HELP");
    EXPECT_EQ(Str(NotNil(window().BevelButtonSend()).HelpTag()), "de:K_OPENWITH");
    EXPECT_EQ(Str(NotNil(window().BevelButtonClear()).HelpTag()), "de:K_CLEARSELECTION");

    EXPECT_EQ(Str(NotNil(window().PushButtonWeb()).Caption()), "W");
    EXPECT_EQ(Str(NotNil(window().LabelAuthor()).Text()), "Zell");
    EXPECT_EQ(Str(NotNil(window().LabelAuthor()).HelpTag()), kMakersWebPage);
}
