#include "Localization.h"

#include <QLocale>
#include <map>
#include <utility>

namespace {
std::map<std::pair<std::string, std::string>, String>& Translations() {
    static std::map<std::pair<std::string, std::string>, String> translations;
    return translations;
}

const String* Find(const String& key, const std::string& language) {
    auto found = Translations().find({key.Bytes(), language});
    return found == Translations().end() ? nullptr : &found->second;
}
}  // namespace

String GetLocalizedString(const String& key, const String& defaultText, const String& language) {
    std::string wanted = language.Bytes();
    if (wanted.empty()) wanted = QLocale().name().toStdString();  // "fr_FR"
    if (const String* text = Find(key, wanted)) return *text;
    const std::string base = wanted.substr(0, wanted.find('_'));  // "fr"
    if (const String* text = Find(key, base)) return *text;
    return defaultText;
}

void RegisterLocalizedString(const String& key, const String& language, const String& text) {
    Translations()[{key.Bytes(), language.Bytes()}] = text;
}

void ClearLocalizedStrings() { Translations().clear(); }
