#pragma once

#include <vector>

#include "files/FolderItem.h"

// What a drop carries: the local files and folders of the drag, in order. The drop area's
// handler sees the first.
class DragItem : public Object {
public:
    explicit DragItem(std::vector<Ref<::FolderItem>> items) : items_(std::move(items)) {}

    bool FolderItemAvailable() const { return !items_.empty(); }
    Ref<::FolderItem> FolderItem() const { return items_.empty() ? nullptr : items_.front(); }

private:
    std::vector<Ref<::FolderItem>> items_;
};

// Whether an existing item is of a kind that a control accepts by file-type name: a registered file
// type by its extensions (a folder for a package kind such as ".rtfd", a file otherwise), or
// "special/any" for any file or folder.
bool IsOfFileKind(const FolderItem& item, std::string_view kind);
