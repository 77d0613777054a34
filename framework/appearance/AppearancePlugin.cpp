#include "AppearancePlugin.h"

#include "BevelButton.h"

namespace {
using State = BevelButton::State;

template <class T, T State::*field>
T Get(const BevelButton& button) {
    return button.PluginState().*field;
}

template <class T, T State::*field>
void Set(BevelButton& button, T value) {
    button.PluginState().*field = std::move(value);
    button.Changed();
}

template <class T, T State::*field>
void Publish(Plugin& plugin, const std::string& property) {
    plugin.entrypoints.emplace_back("BevelButton." + property + ".Get", &Get<T, field>);
    plugin.entrypoints.emplace_back("BevelButton." + property + ".Set", &Set<T, field>);
}
}  // namespace

Plugin AppearancePlugin() {
    Plugin plugin{"AppearancePak.plugin:0", {}};
    Publish<Ref<Picture>, &State::icon>(plugin, "Icon");
    Publish<String, &State::caption>(plugin, "Caption");
    Publish<int32_t, &State::textUnit>(plugin, "TextUnit");
    Publish<bool, &State::bold>(plugin, "Bold");
    Publish<bool, &State::italic>(plugin, "Italic");
    Publish<bool, &State::underline>(plugin, "Underline");
    Publish<String, &State::textFont>(plugin, "TextFont");
    Publish<bool, &State::acceptFocus>(plugin, "AcceptFocus");
    Publish<int32_t, &State::buttonType>(plugin, "ButtonType");
    Publish<int32_t, &State::menuValue>(plugin, "MenuValue");
    Publish<bool, &State::value>(plugin, "Value");
    Publish<Color, &State::textColor>(plugin, "TextColor");
    Publish<Color, &State::backColor>(plugin, "BackColor");
    Publish<bool, &State::hasBackColor>(plugin, "HasBackColor");
    Publish<int32_t, &State::hasMenu>(plugin, "HasMenu");
    Publish<int32_t, &State::bevel>(plugin, "Bevel");
    Publish<int32_t, &State::iconDX>(plugin, "IconDX");
    Publish<int32_t, &State::iconDY>(plugin, "IconDY");
    Publish<int32_t, &State::iconAlign>(plugin, "IconAlign");
    Publish<int32_t, &State::captionDelta>(plugin, "CaptionDelta");
    Publish<int32_t, &State::captionPlacement>(plugin, "CaptionPlacement");
    Publish<int32_t, &State::captionAlign>(plugin, "CaptionAlign");
    return plugin;
}
