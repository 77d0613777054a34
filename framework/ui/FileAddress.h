#pragma once

#include <QUrl>

#include "files/FolderItem.h"

// A local file's address ("file:///..."), as drags and the desktop's open-document requests
// carry it. The address holds the name's bytes percent-encoded, so a name that is not UTF-8
// survives both ways; Qt's own conversions go through Unicode text and would lose it.

// The item that an address names, or nil for an address that names no local file: another
// scheme, another host, an empty or relative path, or a NUL in the path.
Ref<FolderItem> FolderItemOfFileAddress(const QUrl& address);

// The address of a path given as bytes.
QUrl FileAddressOf(const String& path);
