#include <cstring>
#include <new>
#include <utility>

#include "MarginText.h"
#include "WindowVelloran.h"
#include "files/TextInputStream.h"
#include "files/TextOutputStream.h"
#include "runtime/Desktop.h"
#include "runtime/NotNil.h"
#include "shell/App.h"

namespace {
// The margin fields and labels, in the order left, right, top, bottom.
struct MarginControls {
    Ref<TextField> (WindowVelloran::*field)();
    const char* fieldName;
    Ref<Label> (WindowVelloran::*label)();
    const char* labelName;
};

const MarginControls kMargins[4] = {
    {&WindowVelloran::TextFieldMargL, "TextFieldMargL", &WindowVelloran::LabelMargL, "LabelMargL"},
    {&WindowVelloran::TextFieldMargR, "TextFieldMargR", &WindowVelloran::LabelMargR, "LabelMargR"},
    {&WindowVelloran::TextFieldMargT, "TextFieldMargT", &WindowVelloran::LabelMargT, "LabelMargT"},
    {&WindowVelloran::TextFieldMargB, "TextFieldMargB", &WindowVelloran::LabelMargB, "LabelMargB"},
};

TextField& Field(WindowVelloran& window, size_t margin) {
    const MarginControls& controls = kMargins[margin];
    return NotNil((window.*controls.field)(), controls.fieldName);
}

Label& MarginLabel(WindowVelloran& window, size_t margin) {
    const MarginControls& controls = kMargins[margin];
    return NotNil((window.*controls.label)(), controls.labelName);
}

// The application object, looked up anew at each use, as every handler does.
App& CurrentApp() { return NotNil(AppInstance(), "App"); }

bool PathEndsWith(const Ref<FolderItem>& item, const char* ending) {
    const String end = StringDBCSRight(item->ShellPath(), static_cast<int>(std::strlen(ending)));
    return RuntimeStringCompareIgnoringCase(end, ending) == 0;
}

// Refuses the document that was to be read: nothing of it can be changed, and the user is told.
bool Refused(WindowVelloran& window, const String& message) {
    NotNil(window.PushButtonChange(), "PushButtonChange").SetEnabled(false);
    RuntimeMsgBox(message);
    return false;
}

// Why a document's text cannot be read or marked, in the words of the message that names it.
String CannotBeRead(const FolderItem& file, const std::exception& failure) {
    const bool tooLarge = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr;
    return RuntimeAddString(RuntimeAddString("The margins of the document ", StringIsolated(file.ShellPath())),
                            RuntimeAddString(" cannot be read: ",
                                             tooLarge ? "it is too large to be held in memory" : failure.what()));
}

// The file to read and rewrite for the item given, or nil for an item of another kind. A
// package's text must be a plain file of the package's own: a link there would have "Change"
// rewrite a file outside it.
Ref<FolderItem> DocumentFile(const Ref<FolderItem>& item) {
    if (!item->Directory() && PathEndsWith(item, ".rtf")) return item;
    if (!item->Directory() && PathEndsWith(item, ".txt")) return item;
    if (item->Directory() && PathEndsWith(item, ".rtfd")) {
        Ref<FolderItem> text = FolderItem::FromShellPath(RuntimeAddString(item->ShellPath(), "/TXT.rtf"));
        if (text && text->IsRegularFile()) return text;
    }
    return nullptr;
}
}  // namespace

bool WindowVelloran::Margins(Ref<FolderItem> item) {
    NotNil(PushButtonChange(), "PushButtonChange").SetEnabled(false);
    NotNil(BevelButtonClear(), "BevelButtonClear").SetVisible(false);
    NotNil(BevelButtonSend(), "BevelButtonSend").SetVisible(false);
    marked_ = {};

    Ref<FolderItem> file = item ? DocumentFile(item) : nullptr;
    if (!file) {
        RuntimeBeep();
        return false;
    }
    CurrentApp().myFolderItem = file;
    NotNil(PushButtonChange(), "PushButtonChange").SetEnabled(true);
    NotNil(BevelButtonSend(), "BevelButtonSend").SetVisible(true);
    NotNil(BevelButtonClear(), "BevelButtonClear").SetVisible(true);

    // Taken before the read, so that a save while it reads counts as a change on disk.
    FileStamp stamp = file->Stamp();
    // No document, however large or strange, may end the program: whatever its reading raises
    // is a refusal of that document, and the documents given after it still open.
    try {
        CurrentApp().myTextInputStream = nullptr;
        CurrentApp().myTextInputStream = TextInputStream::Open(CurrentApp().myFolderItem);
        // Room for the marker, which may stand where nothing stood before.
        CurrentApp().myFileContent =
            NotNil(CurrentApp().myTextInputStream, "myTextInputStream").ReadAll(MarginText::kMarker.Size());
        NotNil(CurrentApp().myTextInputStream, "myTextInputStream").Close();
    } catch (const std::exception& failure) {
        if (CurrentApp().myTextInputStream) CurrentApp().myTextInputStream->Close();
        if (dynamic_cast<const IOException*>(&failure)) return Refused(*this, "error input");
        return Refused(*this, CannotBeRead(*file, failure));
    }

    NotNil(LabelFile(), "LabelFile").SetText(StringIsolated(item->DisplayName()));
    for (size_t margin = 0; margin < 4; ++margin) Field(*this, margin).SetText("1440");
    for (size_t margin = 0; margin < 4; ++margin) MarginLabel(*this, margin).SetText("1440");

    // Where the file's times are whole seconds, the bytes read tell another program's save; they
    // are digested before marking changes them.
    if (stamp.WholeSeconds()) stamp.digest = DigestOf(CurrentApp().myFileContent.View());

    // The text is marked in the bytes that were read, not in a copy of them.
    MarginText marks;
    try {
        marks = MarginText::Mark(std::move(CurrentApp().myFileContent));
    } catch (const std::exception& failure) {
        return Refused(*this, CannotBeRead(*file, failure));
    }
    CurrentApp().myFileContent = std::move(marks.text);
    for (size_t margin = 0; margin < 4; ++margin)
        if (marks.values[margin]) Field(*this, margin).SetText(*marks.values[margin]);

    if (marks.marker == std::string::npos) return Refused(*this, K_NOTMARGED(""));
    for (size_t margin = 0; margin < 4; ++margin) MarginLabel(*this, margin).SetText(Field(*this, margin).Text());
    marked_ = {marks.marker, stamp};
    return true;
}

// The marked text stays as it was read, so every press writes what the fields show then. The
// window keeps the stamp of the file as the stream left it, written or put back, so that the
// next press writes against what is on disk then.
void WindowVelloran::PushButtonChange_Action(PushButton& /*sender*/) {
    const String words = MarginText::Words(Field(*this, 0).Text(), Field(*this, 1).Text(), Field(*this, 2).Text(),
                                           Field(*this, 3).Text());
    const Ref<FolderItem> file = CurrentApp().myFolderItem;
    if (!file || marked_.marker == std::string::npos) return;  // "Change" is disabled then: nothing is marked
    Ref<TextOutputStream> stream;
    try {
        stream = TextOutputStream::Create(file, marked_.stamp);
        CurrentApp().myTextOutputStream = stream;
        MarginText::Write(*stream, CurrentApp().myFileContent, marked_.marker, words);
        stream->Close();
        if (!stream->Notice().empty()) RuntimeMsgBox(stream->Notice());
    } catch (const ChangedOnDiskException& failure) {
        const char* const what = failure.WhileWritten()
                                     ? " was replaced by another program while its margins were written: the new "
                                       "margins did not reach it. Open it again to change its margins."
                                     : " changed on disk since it was read. Open it again to change its margins.";
        RuntimeMsgBox(RuntimeAddString(RuntimeAddString("The document ", StringIsolated(file->ShellPath())), what));
    } catch (const RuntimeException& failure) {
        RuntimeMsgBox(failure.what());
    }
    if (stream) marked_.stamp = stream->Stamp();
}
