#pragma once

#include "Object.h"
#include "String.h"

// The framework's system object: its localized-string lookup and its shared properties.
class SystemClass {
public:
    static String _GetLocalizedString(const String& key, const String& defaultText, const String& language);

    // A delegate the framework may hold for web applications; a desktop program sets none.
    static Ref<Object> _WebLanguageDelegate;
};
