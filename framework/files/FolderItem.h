#pragma once

#include "FileStamp.h"
#include "runtime/Object.h"
#include "runtime/String.h"

class Picture;

// A handle on a file or folder by its path; nothing needs to exist there. The path is kept as
// the bytes the system uses, so names that are not valid UTF-8 survive.
class FolderItem : public Object {
public:
    // The item for a path in the form ShellPath gives; a relative path is taken from the
    // current folder. It names the file that the system opens by the path: "." and repeated
    // separators go, and a ".." goes only where the system has told where it leads. Nil for
    // the empty path and for a path that holds a NUL byte.
    static Ref<FolderItem> FromShellPath(const String& path);

    bool Directory() const;          // a folder (a link is followed)
    bool Exists() const;             // a link is followed
    bool IsRegularFile() const;      // a plain file itself: a link, even to one, is not
    String ShellPath() const;        // absolute, no trailing separator
    String DisplayName() const;      // the name as the user sees it
    Ref<FolderItem> Parent() const;  // nil for the root
    Ref<FolderItem> Child(const String& name) const;  // an item whether or not it exists
    FileStamp Stamp() const;         // of the file a link leads to

    void Launch(bool activate) const;  // opens it with its default application; reports nothing
    Ref<Picture> OpenAsPicture() const;  // nil when the file gives no picture

private:
    explicit FolderItem(std::string path) : path_(std::move(path)) {}
    std::string path_;
};
