#include "WindowVelloran.h"

#include <type_traits>

#include "BundlePictures.h"
#include "ControlTables.h"
#include "runtime/ClassRegistry.h"
#include "runtime/NotNil.h"
#include "runtime/PropertyTable.h"
#include "runtime/SystemClass.h"
#include "ui/Delegate.h"
#include "ui/EventLoop.h"

namespace {
const char* const kClassName = "WindowVelloran.WindowVelloran";
const std::vector<Attribute> kPublic = {{"__Scope", "Public"}};
const std::vector<Attribute> kHidden = {{"__Scope", "Public"}, {"Hidden", ""}};
const std::vector<Attribute> kShared = {{"__Scope", "Public"}, {"__Shared", ""}};

const std::string& WindowTable() {
    static const std::string table = PropertyTable()
                                         .Integer("Placement", 0)
                                         .Integer("Width", 282)
                                         .Integer("Height", 326)
                                         .Integer("MinWidth", 282)
                                         .Integer("MinHeight", 326)
                                         .Integer("MaxWidth", 282)
                                         .Integer("MaxHeight", 326)
                                         .Integer("Frame", 0)
                                         .Boolean("Composite", false)
                                         .Boolean("HasBackColor", false)
                                         .Color("BackColor", 0xE2E2E2)
                                         .String("Title", "Velloran")
                                         .Boolean("Visible", true)
                                         .Boolean("FullScreen", false)
                                         .Boolean("MenuBarVisible", true)
                                         .Boolean("CloseButton", true)
                                         .Boolean("Resizeable", false)
                                         .Boolean("LiveResize", false)
                                         .Boolean("MaximizeButton", false)
                                         .Boolean("MinimizeButton", true)
                                         .Boolean("FullScreenButton", false)
                                         .Integer("MacProcID", 0)
                                         .Bytes();
    return table;
}

// Makes the delegate for a handler of one parameter shape and adds it to a control's event.
using Attach = void (*)(Control& control, int event, const VirtualOperation& handler,
                        const Ref<Object>& window, const char* parameters);

template <class... A>
void AttachOfShape(Control& control, int event, const VirtualOperation& handler, const Ref<Object>& window,
                   const char* parameters) {
    using Shape = EventShape<A...>;
    RuntimeAddEventHandler<Shape>(control, event, RuntimeCreateDelegate<Shape>(handler, window, parameters));
}

// The control events the window handles. A handler is a method of the window, found in its
// virtual table by name when the control is made; one that is not there yet is left unwired.
struct Wiring {
    const char* control;
    int event;
    const char* handler;
    const char* parameters;
    Attach attach;
};

const Wiring kWiring[] = {
    {"PushButtonWeb", PushButton::kActionEvent, "PushButtonWeb_Action", "( PushButton )", &AttachOfShape<PushButton&>},
    {"CanvasDrop", Control::kOpenEvent, "CanvasDrop_Open", "( Canvas )", &AttachOfShape<Canvas&>},
    {"CanvasDrop", RectControl::kDropObjectEvent, "CanvasDrop_DropObject", "( Canvas, DragItem, Int32 )",
     &AttachOfShape<Canvas&, Ref<DragItem>, int32_t>},
    {"PushButtonChange", PushButton::kActionEvent, "PushButtonChange_Action", "( PushButton )", &AttachOfShape<PushButton&>},
    {"PushButtonHelp", PushButton::kActionEvent, "PushButtonHelp_Action", "( PushButton )", &AttachOfShape<PushButton&>},
    {"BevelButtonSend", BevelButton::kActionEvent, "BevelButtonSend_Action", "( BevelButton )", &AttachOfShape<BevelButton&>},
    {"BevelButtonClear", BevelButton::kActionEvent, "BevelButtonClear_Action", "( BevelButton )", &AttachOfShape<BevelButton&>},
};

// Each step reaches the control anew by its name, as the accessors do.
template <class T>
T& Reach(Window& window, const char* name) {
    return NotNil(RuntimeCheckCast<T>(window._ControlByName(name)), name);
}

// Makes one control: creates and constructs it, registers it under its name, gives it its text
// unit, its picture and its text, applies its property table and wires its events. The control
// takes all of that before its widget shows any of it, once.
template <class T>
void Create(Window& window, const char* name, void (*picture)(std::type_identity_t<T>&) = nullptr,
            void (*text)(std::type_identity_t<T>&) = nullptr) {
    Ref<Object> control = window.__New(T::ClassObject());
    control->BeginProperties();
    CallVirtual<void>(*control, "Constructor");
    window._AddControl(name, control);
    if constexpr (requires(T& c) { c.SetTextUnit(0); }) Reach<T>(window, name).SetTextUnit(0);
    if (picture) picture(Reach<T>(window, name));
    if (text) text(Reach<T>(window, name));
    RuntimeMassPropertySetter(Reach<T>(window, name), ControlTable(name));
    control->EndProperties();
    for (const Wiring& wiring : kWiring) {
        if (std::string_view(wiring.control) != name) continue;
        const VirtualOperation* handler = window.Class()->FindVirtual(wiring.handler);
        if (!handler) continue;
        wiring.attach(Reach<T>(window, name), wiring.event, *handler, window.shared_from_this(), wiring.parameters);
    }
}
}  // namespace

void WindowVelloran::RegisterClass() {
    if (RuntimeFindClass(kClassName)) return;
    ClassBuilder builder(kClassName, &Window::ClassObject(), [] { return std::make_shared<WindowVelloran>(); });
    auto method = [&builder](const char* name, const char* signature, VirtualOperation op,
                             const std::vector<Attribute>& attributes = kPublic) {
        builder.Method(name, MemberKind::Instance, signature, attributes).Virtual(std::move(op));
    };
    auto shared = [&builder](const char* name) { builder.Method(name, MemberKind::Shared, "%s%s", kShared); };
    method("Layout", "%%", Virtual("Layout", &WindowVelloran::Layout));
    method("CreateControls", "%%", Virtual("CreateControls", &WindowVelloran::CreateControls));
    method("_CreateControls0", "%%", Virtual("_CreateControls0", &WindowVelloran::_CreateControls0), kHidden);
    method("PushButtonWeb", "%o<PushButton>%", Virtual("PushButtonWeb", &WindowVelloran::PushButtonWeb));
    method("CanvasDrop", "%o<Canvas>%", Virtual("CanvasDrop", &WindowVelloran::CanvasDrop));
    method("TextFieldMargR", "%o<TextField>%", Virtual("TextFieldMargR", &WindowVelloran::TextFieldMargR));
    method("TextFieldMargL", "%o<TextField>%", Virtual("TextFieldMargL", &WindowVelloran::TextFieldMargL));
    method("TextFieldMargT", "%o<TextField>%", Virtual("TextFieldMargT", &WindowVelloran::TextFieldMargT));
    method("TextFieldMargB", "%o<TextField>%", Virtual("TextFieldMargB", &WindowVelloran::TextFieldMargB));
    method("PushButtonChange", "%o<PushButton>%", Virtual("PushButtonChange", &WindowVelloran::PushButtonChange));
    method("LabelMargL", "%o<Label>%", Virtual("LabelMargL", &WindowVelloran::LabelMargL));
    method("LabelMargR", "%o<Label>%", Virtual("LabelMargR", &WindowVelloran::LabelMargR));
    method("LabelMargT", "%o<Label>%", Virtual("LabelMargT", &WindowVelloran::LabelMargT));
    method("LabelMargB", "%o<Label>%", Virtual("LabelMargB", &WindowVelloran::LabelMargB));
    method("LabelHelp", "%o<Label>%", Virtual("LabelHelp", &WindowVelloran::LabelHelp));
    method("LabelFile", "%o<Label>%", Virtual("LabelFile", &WindowVelloran::LabelFile));
    method("LabelAuthor", "%o<Label>%", Virtual("LabelAuthor", &WindowVelloran::LabelAuthor));
    method("LabelVersion", "%o<Label>%", Virtual("LabelVersion", &WindowVelloran::LabelVersion));
    method("PushButtonHelp", "%o<PushButton>%", Virtual("PushButtonHelp", &WindowVelloran::PushButtonHelp));
    method("BevelButtonSend", "%o<BevelButton>%", Virtual("BevelButtonSend", &WindowVelloran::BevelButtonSend));
    method("BevelButtonClear", "%o<BevelButton>%", Virtual("BevelButtonClear", &WindowVelloran::BevelButtonClear));
    method("PushButtonWeb_Action", "%%o<PushButton>", Virtual("PushButtonWeb_Action", &WindowVelloran::PushButtonWeb_Action));
    method("CanvasDrop_Open", "%%o<Canvas>", Virtual("CanvasDrop_Open", &WindowVelloran::CanvasDrop_Open));
    method("CanvasDrop_DropObject", "%%o<Canvas>o<DragItem>i4",
           Virtual("CanvasDrop_DropObject", &WindowVelloran::CanvasDrop_DropObject));
    method("PushButtonChange_Action", "%%o<PushButton>",
           Virtual("PushButtonChange_Action", &WindowVelloran::PushButtonChange_Action));
    method("PushButtonHelp_Action", "%%o<PushButton>", Virtual("PushButtonHelp_Action", &WindowVelloran::PushButtonHelp_Action));
    method("BevelButtonSend_Action", "%%o<BevelButton>",
           Virtual("BevelButtonSend_Action", &WindowVelloran::BevelButtonSend_Action));
    method("BevelButtonClear_Action", "%%o<BevelButton>",
           Virtual("BevelButtonClear_Action", &WindowVelloran::BevelButtonClear_Action));
    method("Event_Close", "%%", Virtual("Event_Close", &WindowVelloran::Event_Close));
    method("Margins", "%b%o<FolderItem>", Virtual("Margins", &WindowVelloran::Margins));
    shared("K_INSTRUCTION");
    shared("K_CHANGE");
    shared("K_OPENWITH");
    shared("K_NOTMARGED");
    shared("K_CLEARSELECTION");
    shared("K_ZELL");
    shared("K_HELP");
    builder.Hook("Layout", "Layout")
        .Hook("CreateControls", "CreateControls")
        .Hook("Close", "Event_Close")
        .Attribute("__Scope", "Public")
        .Register();
}

const ClassInfo& WindowVelloran::ClassObject() {
    RegisterClass();
    return *RuntimeFindClass(kClassName);
}

void WindowVelloran::Layout() { RuntimeMassPropertySetter(*this, WindowTable()); }

void WindowVelloran::CreateControls() { CallVirtual<void>(*this, "_CreateControls0"); }

void WindowVelloran::_CreateControls0() {
    Window& w = *this;
    Create<PushButton>(w, "PushButtonWeb", nullptr, [](PushButton& c) { c.SetHelpTag(K_ZELL("")); });
    Create<Canvas>(w, "CanvasDrop", [](Canvas& c) { c.SetBackdrop(VelloranDrop()); },
                   [](Canvas& c) { c.SetHelpTag(K_INSTRUCTION("")); });
    Create<TextField>(w, "TextFieldMargR");
    Create<TextField>(w, "TextFieldMargL");
    Create<TextField>(w, "TextFieldMargT");
    Create<TextField>(w, "TextFieldMargB");
    Create<PushButton>(w, "PushButtonChange", nullptr, [](PushButton& c) { c.SetCaption(K_CHANGE("")); });
    Create<Label>(w, "LabelMargL");
    Create<Label>(w, "LabelMargR");
    Create<Label>(w, "LabelMargT");
    Create<Label>(w, "LabelMargB");
    Create<Label>(w, "LabelHelp", nullptr, [](Label& c) { c.SetText(K_INSTRUCTION("")); });
    Create<Label>(w, "LabelFile");
    Create<Label>(w, "LabelAuthor");
    Create<Label>(w, "LabelVersion");
    Create<PushButton>(w, "PushButtonHelp", nullptr, [](PushButton& c) { c.SetHelpTag(K_HELP("")); });
    Create<BevelButton>(w, "BevelButtonSend", [](BevelButton& c) { c.SetIcon(SendMiniIcon()); },
                        [](BevelButton& c) { c.SetHelpTag(K_OPENWITH("")); });
    Create<BevelButton>(w, "BevelButtonClear", [](BevelButton& c) { c.SetIcon(ClearMiniIcon()); },
                        [](BevelButton& c) { c.SetHelpTag(K_CLEARSELECTION("")); });
}

Ref<PushButton> WindowVelloran::PushButtonWeb() { return RuntimeCheckCast<PushButton>(_ControlByName("PushButtonWeb")); }
Ref<Canvas> WindowVelloran::CanvasDrop() { return RuntimeCheckCast<Canvas>(_ControlByName("CanvasDrop")); }
Ref<TextField> WindowVelloran::TextFieldMargR() { return RuntimeCheckCast<TextField>(_ControlByName("TextFieldMargR")); }
Ref<TextField> WindowVelloran::TextFieldMargL() { return RuntimeCheckCast<TextField>(_ControlByName("TextFieldMargL")); }
Ref<TextField> WindowVelloran::TextFieldMargT() { return RuntimeCheckCast<TextField>(_ControlByName("TextFieldMargT")); }
Ref<TextField> WindowVelloran::TextFieldMargB() { return RuntimeCheckCast<TextField>(_ControlByName("TextFieldMargB")); }
Ref<PushButton> WindowVelloran::PushButtonChange() { return RuntimeCheckCast<PushButton>(_ControlByName("PushButtonChange")); }
Ref<Label> WindowVelloran::LabelMargL() { return RuntimeCheckCast<Label>(_ControlByName("LabelMargL")); }
Ref<Label> WindowVelloran::LabelMargR() { return RuntimeCheckCast<Label>(_ControlByName("LabelMargR")); }
Ref<Label> WindowVelloran::LabelMargT() { return RuntimeCheckCast<Label>(_ControlByName("LabelMargT")); }
Ref<Label> WindowVelloran::LabelMargB() { return RuntimeCheckCast<Label>(_ControlByName("LabelMargB")); }
Ref<Label> WindowVelloran::LabelHelp() { return RuntimeCheckCast<Label>(_ControlByName("LabelHelp")); }
Ref<Label> WindowVelloran::LabelFile() { return RuntimeCheckCast<Label>(_ControlByName("LabelFile")); }
Ref<Label> WindowVelloran::LabelAuthor() { return RuntimeCheckCast<Label>(_ControlByName("LabelAuthor")); }
Ref<Label> WindowVelloran::LabelVersion() { return RuntimeCheckCast<Label>(_ControlByName("LabelVersion")); }
Ref<PushButton> WindowVelloran::PushButtonHelp() { return RuntimeCheckCast<PushButton>(_ControlByName("PushButtonHelp")); }
Ref<BevelButton> WindowVelloran::BevelButtonSend() { return RuntimeCheckCast<BevelButton>(_ControlByName("BevelButtonSend")); }
Ref<BevelButton> WindowVelloran::BevelButtonClear() { return RuntimeCheckCast<BevelButton>(_ControlByName("BevelButtonClear")); }

// The window is the application's only one: closing it ends the application.
void WindowVelloran::Event_Close() { ApplicationQuit(0); }

String WindowVelloran::K_INSTRUCTION(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_INSTRUCTION", "Déposer le fichier et donner les marges", language);
}

String WindowVelloran::K_CHANGE(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_CHANGE", "Change", language);
}

String WindowVelloran::K_OPENWITH(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_OPENWITH", "Open with\nTextEdit", language);
}

String WindowVelloran::K_NOTMARGED(const String& language) {
    return SystemClass::_GetLocalizedString(
        "WindowVelloran.K_NOTMARGED",
        "No match found with a marged .rtf syntax,\nFirst Open and force it Save as .rtf file with TextEdit.", language);
}

String WindowVelloran::K_CLEARSELECTION(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_CLEARSELECTION", "Clear\nSelection", language);
}

String WindowVelloran::K_ZELL(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_ZELL", "Zell Software Web Site", language);
}

String WindowVelloran::K_HELP(const String& language) {
    return SystemClass::_GetLocalizedString("WindowVelloran.K_HELP", "Help", language);
}

Ref<WindowVelloran> ImplicitWindowVelloran() {
    Ref<Window> window = RuntimeGetImplicitWindow(kClassName);
    if (!window) {
        Ref<Object> created = RuntimeNewObject(WindowVelloran::ClassObject());
        CallVirtual<void>(*created, "Constructor");
        return RuntimeCheckCast<WindowVelloran>(created);
    }
    return RuntimeCheckCast<WindowVelloran>(window);
}
