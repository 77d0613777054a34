#pragma once

#include <string_view>

#include "ui/RectControl.h"

class Picture;

// The appearance plug-in's bevel button: an icon, a caption or both, and an Action (event 17)
// on a click or a Push. Its own members are the plug-in's: each calls the code that the
// plug-in published under the member's name ("BevelButton.Icon.Set", ...).
class BevelButton : public RectControl {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    Ref<Picture> Icon() const;
    void SetIcon(Ref<Picture> value);
    String Caption() const;
    void SetCaption(String value);
    int32_t TextUnit() const;
    void SetTextUnit(int32_t value);
    bool Bold() const;
    void SetBold(bool value);
    bool Italic() const;
    void SetItalic(bool value);
    bool Underline() const;
    void SetUnderline(bool value);
    String TextFont() const;
    void SetTextFont(String value);
    bool AcceptFocus() const;
    void SetAcceptFocus(bool value);
    int32_t ButtonType() const;
    void SetButtonType(int32_t value);
    int32_t MenuValue() const;
    void SetMenuValue(int32_t value);
    bool Value() const;
    void SetValue(bool value);
    Color TextColor() const;
    void SetTextColor(Color value);
    Color BackColor() const;
    void SetBackColor(Color value);
    bool HasBackColor() const;
    void SetHasBackColor(bool value);
    int32_t HasMenu() const;
    void SetHasMenu(int32_t value);
    int32_t Bevel() const;
    void SetBevel(int32_t value);
    int32_t IconDX() const;
    void SetIconDX(int32_t value);
    int32_t IconDY() const;
    void SetIconDY(int32_t value);
    int32_t IconAlign() const;
    void SetIconAlign(int32_t value);
    int32_t CaptionDelta() const;
    void SetCaptionDelta(int32_t value);
    int32_t CaptionPlacement() const;
    void SetCaptionPlacement(int32_t value);
    int32_t CaptionAlign() const;
    void SetCaptionAlign(int32_t value);

    void Push();  // raises Action

    // The button's own events, after RectControl's: MouseUp 15, MouseDown 16, Action 17.
    static constexpr int kActionEvent = kFirstOwnEvent + 2;

    // What the plug-in keeps for one button. Only the plug-in's code reads and writes it.
    struct State {
        Ref<Picture> icon;
        String caption, textFont = "System";
        int32_t textUnit = 0, buttonType = 0, menuValue = 0, hasMenu = 0, bevel = 0;
        int32_t iconDX = 0, iconDY = 0, iconAlign = 0, captionDelta = 0, captionPlacement = 0, captionAlign = 0;
        bool bold = false, italic = false, underline = false, acceptFocus = true, value = false;
        bool hasBackColor = false;
        Color textColor{0, 0, 0}, backColor{0, 0, 0};
    };
    State& PluginState() { return state_; }
    const State& PluginState() const { return state_; }

protected:
    QWidget* MakeWidget(QWidget* parent) override;
    void Apply() override;

private:
    template <class T>
    T Get(std::string_view member) const;
    template <class T>
    void Set(std::string_view member, T value);
    void Restyle();  // shows the state on the widget, once it exists

    State state_;
};
