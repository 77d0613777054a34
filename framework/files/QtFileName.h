#pragma once

#include <QString>

#include "FolderItem.h"

// The name under which Qt opens the item's file. Qt keeps names as Unicode text, so a path that
// does not survive the conversion would open another file: that raises IOException instead.
QString QtFileName(const FolderItem& item);
