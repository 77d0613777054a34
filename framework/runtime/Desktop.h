#pragma once

#include <memory>

#include "String.h"

// Every side effect on the user's desktop goes through here: the real one talks to Qt, the
// recording one lets tests see what the program did.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void Beep() = 0;
    virtual void MessageBox(const String& text) = 0;
    virtual void Launch(const String& path) = 0;  // opens a file or folder with its default application
    virtual void OpenURL(const String& url) = 0;
};

Desktop& CurrentDesktop();
bool HasDesktop();
void SetDesktop(std::unique_ptr<Desktop> desktop);

// What launching `path` asks the desktop's opener to open. An ".rtfd" package is a folder, and
// only a desktop that knows packages opens it as a document; elsewhere its text, "TXT.rtf",
// stands for it, so that the user sees the document and not a file manager.
String LaunchTarget(const String& path, bool desktopOpensPackages);

// The beep and the message box as the program calls them. A message box runs an event loop of
// its own until it is answered, and others may be asked for meanwhile.
void RuntimeBeep();
void RuntimeMsgBox(const String& text);
// Whether one of the program's message boxes is up.
bool RuntimeMessageBoxShown();
// What runs each time the last message box up closes; nullptr for nothing.
void RuntimeSetMessageBoxesClosed(void (*closed)());
void GlobalShowURL(const String& url);  // opens the address in the user's web browser
