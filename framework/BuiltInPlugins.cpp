#include "appearance/AppearancePlugin.h"
#include "regex/RegExPlugin.h"
#include "runtime/Plugins.h"

const Plugin* FindBuiltInPlugin(std::string_view name) {
    static const Plugin appearance = AppearancePlugin();
    static const Plugin regex = RegExPlugin();
    if (name == appearance.name) return &appearance;
    if (name == regex.name) return &regex;
    return nullptr;
}
