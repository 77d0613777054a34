#pragma once

#include "TextControl.h"

// A push button. Its Action (event 15) is raised by a click, by Push, and, for the window's
// enabled default button, by Return or Enter in one of the window's fields.
class PushButton : public TextControl {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use

    String Caption() const { return caption_; }
    void SetCaption(String value);
    // 0 is the ordinary push button, 8 a small square bevel-like button, 9 the help button,
    // which shows the platform's help icon when its caption is empty.
    int32_t ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(int32_t value);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }

    void Push();  // raises Action

    static constexpr int kActionEvent = kFirstOwnEvent;

protected:
    QWidget* MakeWidget(QWidget* parent) override;
    void Apply() override;

private:
    String caption_;
    int32_t buttonStyle_ = 0;
    bool default_ = false, cancel_ = false;
};
