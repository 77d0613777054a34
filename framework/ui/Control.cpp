#include "Control.h"

#include "Window.h"
#include "runtime/ClassRegistry.h"

const ClassInfo& Control::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("Control")) return *cls;
    return ClassBuilder("Control", nullptr, nullptr)
        .Events({"Close", "CreatePane", "Open"})
        .Properties({
            MakeProperty("Index", &Control::SetIndex, &Control::Index),
            MakeProperty("Name", &Control::SetName, &Control::Name),
        })
        .Register();
}

void Control::SetOwner(Window& window) {
    owner_ = std::static_pointer_cast<Window>(window.shared_from_this());
}

void Control::Open() { RaiseEvent<Control&>(kOpenEvent, *this); }
