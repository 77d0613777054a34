#include "App.h"

#include "runtime/ClassRegistry.h"
#include "runtime/Desktop.h"
#include "runtime/NotNil.h"
#include "runtime/Runtime.h"
#include "window/WindowVelloran.h"

namespace {
const std::vector<Attribute> kPublic = {{"__Scope", "Public"}};
}

void App::RegisterClass() {
    if (RuntimeFindClass("App")) return;
    ClassBuilder("App", &Application::ClassObject(), [] { return std::make_shared<App>(); })
        .Method("Event_OpenDocument", MemberKind::Instance, "%%o<FolderItem>", kPublic)
        .Method("Constructor", MemberKind::Instance, "%%", kPublic)
        .Virtual(Virtual("Event_OpenDocument", &App::Event_OpenDocument))
        .Virtual(Virtual("Constructor", &App::Constructor))
        .Hook("OpenDocument", "Event_OpenDocument")
        .Declare("myTextInputStream", "TextInputStream", kPublic)
        .Declare("myTextOutputStream", "TextOutputStream", kPublic)
        .Declare("myFileContent", "String", kPublic)
        .Declare("myFolderItem", "FolderItem", kPublic)
        .Declare("myMajorFolderItem", "FolderItem", kPublic)
        .Register();
}

const ClassInfo& App::ClassObject() {
    RegisterClass();
    return *RuntimeFindClass("App");
}

void App::Event_OpenDocument(Ref<FolderItem> item) {
    // The item given is recorded before the window sees it, so a refused item is still the one given.
    NotNil(AppInstance(), "App").myMajorFolderItem = item;
    Ref<WindowVelloran> window = ImplicitWindowVelloran();
    if (!CallVirtual<bool, Ref<FolderItem>>(*window, "Margins", item)) RuntimeBeep();
}

void App::Constructor() {}

Ref<App> AppInstance() { return RuntimeCheckCast<App>(getAppObject()); }
