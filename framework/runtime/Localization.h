#pragma once

#include "String.h"

// The localized-string lookup. The empty language stands for the user's own (the default
// locale's language, then its base language); a key without a translation gives its default.
String GetLocalizedString(const String& key, const String& defaultText, const String& language);

// Translations are the application's data; tests register their own.
void RegisterLocalizedString(const String& key, const String& language, const String& text);
void ClearLocalizedStrings();
