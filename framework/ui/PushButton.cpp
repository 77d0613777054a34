#include "PushButton.h"

#include <QPushButton>
#include <QStyle>

#include "runtime/ClassRegistry.h"

namespace {
constexpr int32_t kHelpStyle = 9;

// A caption is shown as it is: an ampersand is no shortcut mark.
QString CaptionText(const String& caption) {
    return QString::fromStdString(caption.Bytes()).replace('&', QStringLiteral("&&"));
}
}  // namespace

const ClassInfo& PushButton::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("PushButton")) return *cls;
    return ClassBuilder("PushButton", &RectControl::ClassObject(), [] { return std::make_shared<PushButton>(); })
        .Events({"Action"})
        .Properties({
            MakeProperty("Caption", &PushButton::SetCaption, &PushButton::Caption),
            MakeProperty("ButtonStyle", &PushButton::SetButtonStyle, &PushButton::ButtonStyle),
            MakeProperty("Default", &PushButton::SetDefault, &PushButton::Default),
            MakeProperty("Cancel", &PushButton::SetCancel, &PushButton::Cancel),
        })
        .Properties(TextControl::StyleProperties())
        .Register();
}

void PushButton::SetCaption(String value) { caption_ = std::move(value); Changed(); }
void PushButton::SetButtonStyle(int32_t value) { buttonStyle_ = value; Changed(); }
void PushButton::SetDefault(bool value) { default_ = value; Changed(); }

void PushButton::Push() { RaiseEvent<PushButton&>(kActionEvent, *this); }

QWidget* PushButton::MakeWidget(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button, [this] { Push(); });
    return button;
}

void PushButton::Apply() {
    TextControl::Apply();
    if (!HasWidget()) return;
    auto* button = static_cast<QPushButton*>(Widget());
    button->setText(CaptionText(caption_));
    button->setDefault(default_);
    const bool helpIcon = buttonStyle_ == kHelpStyle && caption_.IsEmpty();
    button->setIcon(helpIcon ? button->style()->standardIcon(QStyle::SP_TitleBarContextHelpButton) : QIcon());
}
