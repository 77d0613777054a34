#include "App.h"

#include "runtime/ClassRegistry.h"
#include "runtime/Runtime.h"

namespace {
const std::vector<Attribute> kPublic = {{"__Scope", "Public"}};
}

void App::RegisterClass() {
    if (RuntimeFindClass("App")) return;
    ClassBuilder("App", &Application::ClassObject(), [] { return std::make_shared<App>(); })
        .Method("Constructor", MemberKind::Instance, "%%", kPublic)
        .Virtual(Virtual("Constructor", &App::Constructor))
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

void App::Constructor() {}

Ref<App> AppInstance() { return RuntimeCheckCast<App>(getAppObject()); }
