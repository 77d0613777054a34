#pragma once

#include "files/FolderItem.h"
#include "ui/Application.h"

class TextInputStream;
class TextOutputStream;

// The application object: it holds the document state that the window's handlers share.
class App : public Application {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use
    static void RegisterClass();

    // The Finder, or a file manager's "Open with", asks the application to open an item.
    void Event_OpenDocument(Ref<FolderItem> item);
    void Constructor();

    Ref<TextInputStream> myTextInputStream;    // the stream that read the file to edit
    Ref<TextOutputStream> myTextOutputStream;  // the stream that wrote it back
    String myFileContent;                      // the whole text, carrying the marker
    Ref<FolderItem> myFolderItem;              // the file that is read and rewritten
    Ref<FolderItem> myMajorFolderItem;         // the item the user gave
};

// The application object, fetched anew at every use.
Ref<App> AppInstance();
