#pragma once

#include "appearance/BevelButton.h"
#include "files/FolderItem.h"
#include "runtime/String.h"
#include "ui/Canvas.h"
#include "ui/DragItem.h"
#include "ui/Label.h"
#include "ui/PushButton.h"
#include "ui/TextField.h"
#include "ui/Window.h"

// The margin editor: the application's one window. Its controls live in the window's control
// registry and are reached by name through the accessors, anew at every use.
class WindowVelloran : public Window {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use
    static void RegisterClass();

    void Layout();
    void CreateControls();
    void _CreateControls0();

    // The control accessors: the control registered under the accessor's name, or nil.
    Ref<PushButton> PushButtonWeb();
    Ref<Canvas> CanvasDrop();
    Ref<TextField> TextFieldMargR();
    Ref<TextField> TextFieldMargL();
    Ref<TextField> TextFieldMargT();
    Ref<TextField> TextFieldMargB();
    Ref<PushButton> PushButtonChange();
    Ref<Label> LabelMargL();
    Ref<Label> LabelMargR();
    Ref<Label> LabelMargT();
    Ref<Label> LabelMargB();
    Ref<Label> LabelHelp();
    Ref<Label> LabelFile();
    Ref<Label> LabelAuthor();
    Ref<Label> LabelVersion();
    Ref<PushButton> PushButtonHelp();
    Ref<BevelButton> BevelButtonSend();
    Ref<BevelButton> BevelButtonClear();

    // The control event handlers take the control that raised the event.
    void PushButtonWeb_Action(PushButton& sender);
    void CanvasDrop_Open(Canvas& sender);
    void CanvasDrop_DropObject(Canvas& sender, Ref<DragItem> item, int32_t action);
    void PushButtonHelp_Action(PushButton& sender);
    void BevelButtonSend_Action(BevelButton& sender);
    void BevelButtonClear_Action(BevelButton& sender);

    // Writes the four margin words with the fields' values into the document read last.
    void PushButtonChange_Action(PushButton& sender);

    void Event_Close();

    // Reads the item given, shows its margins and marks the place where "Change" writes them.
    // False after a beep or a message.
    bool Margins(Ref<FolderItem> item);

    // The localizable texts, looked up anew at every call; every caller passes "".
    static String K_INSTRUCTION(const String& language);
    static String K_CHANGE(const String& language);
    static String K_OPENWITH(const String& language);
    static String K_NOTMARGED(const String& language);
    static String K_CLEARSELECTION(const String& language);
    static String K_ZELL(const String& language);
    static String K_HELP(const String& language);

private:
    // What "Change" writes against: where the marker stands in App.myFileContent, and the file as
    // it was on disk when it was read or last written, so that another program's save in between
    // is never overwritten.
    struct MarkedDocument {
        size_t marker = std::string::npos;
        FileStamp stamp;
    };
    MarkedDocument marked_;
};

// The window's implicit instance, made on first need.
Ref<WindowVelloran> ImplicitWindowVelloran();
