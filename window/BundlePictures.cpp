#include "BundlePictures.h"

#include "runtime/NotNil.h"
#include "ui/Application.h"

namespace {
// A picture is read once a load has given one; a load that gave none is tried again at the
// next call.
Ref<Picture> Load(Ref<Picture>& cache, const char* fileName) {
    if (cache) return cache;
    Ref<FolderItem> resources = ResourcesFolder();
    if (!resources) return nullptr;
    cache = NotNil(resources->Child(fileName), fileName).OpenAsPicture();
    return cache;
}
}  // namespace

Ref<FolderItem> ResourcesFolder() {
    Ref<FolderItem> executable = AppFolderItemGetter();
    Ref<FolderItem> folder = NotNil(executable, "the executable file").Parent();
    Ref<FolderItem> contents = NotNil(folder, "the executable's folder").Parent();
    return NotNil(contents, "the bundle's Contents folder").Child("Resources");
}

Ref<Picture> ClearMiniIcon() {
    static Ref<Picture> cache;
    return Load(cache, "ClearMiniIcon.png");
}

Ref<Picture> SendMiniIcon() {
    static Ref<Picture> cache;
    return Load(cache, "SendMiniIcon.png");
}

Ref<Picture> VelloranDrop() {
    static Ref<Picture> cache;
    return Load(cache, "VelloranDrop.png");
}
