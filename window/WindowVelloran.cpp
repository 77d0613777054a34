#include "WindowVelloran.h"

#include "runtime/ClassRegistry.h"
#include "runtime/PropertyTable.h"
#include "ui/EventLoop.h"

namespace {
const char* const kClassName = "WindowVelloran.WindowVelloran";
const std::vector<Attribute> kPublic = {{"__Scope", "Public"}};
const std::vector<Attribute> kHidden = {{"__Scope", "Public"}, {"Hidden", ""}};

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
}  // namespace

void WindowVelloran::RegisterClass() {
    if (RuntimeFindClass(kClassName)) return;
    ClassBuilder builder(kClassName, &Window::ClassObject(), [] { return std::make_shared<WindowVelloran>(); });
    auto method = [&builder](const char* name, const char* signature, VirtualOperation op,
                             const std::vector<Attribute>& attributes = kPublic) {
        builder.Method(name, MemberKind::Instance, signature, attributes).Virtual(std::move(op));
    };
    method("Layout", "%%", Virtual("Layout", &WindowVelloran::Layout));
    method("CreateControls", "%%", Virtual("CreateControls", &WindowVelloran::CreateControls));
    method("_CreateControls0", "%%", Virtual("_CreateControls0", &WindowVelloran::_CreateControls0), kHidden);
    method("Event_Close", "%%", Virtual("Event_Close", &WindowVelloran::Event_Close));
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

void WindowVelloran::_CreateControls0() {}

// The window is the application's only one: closing it ends the application.
void WindowVelloran::Event_Close() { ApplicationQuit(0); }

Ref<WindowVelloran> ImplicitWindowVelloran() {
    Ref<Window> window = RuntimeGetImplicitWindow(kClassName);
    if (!window) {
        Ref<Object> created = RuntimeNewObject(WindowVelloran::ClassObject());
        CallVirtual<void>(*created, "Constructor");
        return RuntimeCheckCast<WindowVelloran>(created);
    }
    return RuntimeCheckCast<WindowVelloran>(window);
}
