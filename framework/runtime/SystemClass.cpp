#include "SystemClass.h"

#include "Localization.h"

Ref<Object> SystemClass::_WebLanguageDelegate;

String SystemClass::_GetLocalizedString(const String& key, const String& defaultText, const String& language) {
    return GetLocalizedString(key, defaultText, language);
}
