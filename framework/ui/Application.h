#pragma once

#include "files/FolderItem.h"
#include "runtime/ClassInfo.h"

// The framework's application object. The program subclasses it and registers one instance.
class Application : public Object {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    int32_t MajorVersion() const;
    int32_t MinorVersion() const;
    int32_t BugVersion() const;
    Ref<FolderItem> ExecutableFile() const;
    Ref<Object> CurrentThread() const;  // nil on the main (event) thread

    // The virtual operations.
    void AddTrayItem();
    void DoEvents();
    void NewDocument();
    void OpenDocument(Ref<FolderItem> item);  // raises the OpenDocument event
    void RemoveTrayItem();
    void SleepCurrentThread(int32_t milliseconds);
    void YieldToNextThread();
    void _AddMenuHandler();
    void _AddPollableObject();
    void _DoSingleEvent();
    void _RemovePollableObject();
    void __DependencyList();
};

// The application's executable file, found without an application object.
Ref<FolderItem> AppFolderItemGetter();
