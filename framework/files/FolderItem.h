#pragma once

#include "runtime/Object.h"
#include "runtime/String.h"

class Picture;

// A handle on a file or folder by its path; nothing needs to exist there.
class FolderItem : public Object {
public:
    // The item for a path in the form ShellPath gives.
    static Ref<FolderItem> FromShellPath(const String& path);

    bool Directory() const;          // a folder (a link is followed)
    bool Exists() const;
    String ShellPath() const;        // absolute, no trailing separator
    String DisplayName() const;      // the name as the user sees it
    Ref<FolderItem> Parent() const;  // nil for the root
    Ref<FolderItem> Child(const String& name) const;  // an item whether or not it exists

    void Launch(bool activate) const;  // opens it with its default application; reports nothing
    Ref<Picture> OpenAsPicture() const;  // nil when the file gives no picture

private:
    explicit FolderItem(std::string path) : path_(std::move(path)) {}
    std::string path_;
};
