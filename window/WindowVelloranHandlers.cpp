// The handlers of the drop area and of the web, help, send and clear buttons.

#include "ControlTables.h"
#include "WindowVelloran.h"
#include "runtime/Desktop.h"
#include "runtime/NotNil.h"
#include "shell/App.h"

void WindowVelloran::PushButtonWeb_Action(PushButton&) { GlobalShowURL(kMakersWebPage); }

void WindowVelloran::CanvasDrop_Open(Canvas& sender) {
    // A ".txt" file comes in through "special/any": it has no kind of its own here.
    sender.AcceptFileDrop("application/rtf");
    sender.AcceptFileDrop("application/rtfd");
    sender.AcceptFileDrop("special/any");

    String version = RuntimeAddString("V", runCStr(NotNil(AppInstance(), "App").MajorVersion()));
    version = RuntimeAddString(RuntimeAddString(version, "."), runCStr(NotNil(AppInstance(), "App").MinorVersion()));
    version = RuntimeAddString(RuntimeAddString(version, "."), runCStr(NotNil(AppInstance(), "App").BugVersion()));
    NotNil(LabelVersion(), "LabelVersion").SetText(version);
}

void WindowVelloran::CanvasDrop_DropObject(Canvas&, Ref<DragItem> item, int32_t) {
    if (!NotNil(item, "the drag item").FolderItemAvailable()) {
        RuntimeBeep();
        return;
    }
    // The item given is recorded before its kind is tested, so a refused item is still the one given.
    NotNil(AppInstance(), "App").myMajorFolderItem = item->FolderItem();
    CallVirtual<bool, Ref<FolderItem>>(*this, "Margins", item->FolderItem());
}

void WindowVelloran::PushButtonHelp_Action(PushButton&) {
    Ref<FolderItem> executable = NotNil(AppInstance(), "App").ExecutableFile();
    Ref<FolderItem> contents = NotNil(NotNil(executable, "the executable").Parent(), "its folder").Parent();
    Ref<FolderItem> resources = NotNil(contents, "the bundle's contents").Child("Resources");
    Ref<FolderItem> help = NotNil(resources, "the Resources folder").Child("Velloran.rtfd");
    if (!help || !help->Exists()) {
        RuntimeMsgBox("Pas d'aide disponible");
        return;
    }
    help->Launch(true);
}

void WindowVelloran::BevelButtonSend_Action(BevelButton&) {
    NotNil(NotNil(AppInstance(), "App").myMajorFolderItem, "the item given").Launch(true);
}

void WindowVelloran::BevelButtonClear_Action(BevelButton&) {
    NotNil(AppInstance(), "App").myFolderItem = nullptr;
    NotNil(PushButtonChange(), "PushButtonChange").SetEnabled(false);
    NotNil(BevelButtonSend(), "BevelButtonSend").SetVisible(false);
    NotNil(BevelButtonClear(), "BevelButtonClear").SetVisible(false);
    NotNil(TextFieldMargL(), "TextFieldMargL").SetText("");
    NotNil(TextFieldMargR(), "TextFieldMargR").SetText("");
    NotNil(TextFieldMargT(), "TextFieldMargT").SetText("");
    NotNil(TextFieldMargB(), "TextFieldMargB").SetText("");
    NotNil(LabelMargL(), "LabelMargL").SetText("");
    NotNil(LabelMargR(), "LabelMargR").SetText("");
    NotNil(LabelMargT(), "LabelMargT").SetText("");
    NotNil(LabelMargB(), "LabelMargB").SetText("");
}
