#pragma once

#include "files/FolderItem.h"

class Picture;

// The pictures the application bundle carries in its Resources folder. Each accessor keeps
// its picture once a load has given one; until then every call looks for the file again.
Ref<Picture> ClearMiniIcon();
Ref<Picture> SendMiniIcon();
Ref<Picture> VelloranDrop();

// The bundle's Resources folder, found from the executable: its folder's parent, then
// "Resources".
Ref<FolderItem> ResourcesFolder();
