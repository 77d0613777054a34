#include "TextField.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>
#include <algorithm>
#include <limits>
#include <string_view>

#include "PushButton.h"
#include "Window.h"
#include "runtime/ClassRegistry.h"

namespace {
QString ToQt(const String& text) { return QString::fromStdString(text.Bytes()); }
QColor ToQt(Color c) { return QColor(c.red, c.green, c.blue); }

size_t Characters(const String& text) {
    return std::count_if(text.View().begin(), text.View().end(),
                         [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; });
}

bool IsDigitPlace(char c) { return c == '0' || c == '9' || c == '#'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What an edit from the text before to the text edited puts in: what lies between the longest
// beginning and the longest end that the two share. A deletion puts in nothing.
std::string_view PutIn(std::string_view edited, std::string_view before) {
    const size_t shorter = std::min(edited.size(), before.size());
    size_t head = 0;
    while (head < shorter && edited[head] == before[head]) ++head;
    size_t tail = 0;
    while (tail < shorter - head && edited[edited.size() - 1 - tail] == before[before.size() - 1 - tail]) ++tail;
    return edited.substr(head, edited.size() - head - tail);
}

// Keeps what the user types to the field's mask and limit. It knows the text before each edit,
// so that a value that the program set, longer or with other characters, can still be shortened.
class FieldValidator : public QValidator {
public:
    FieldValidator(QLineEdit* parent, const TextField& field) : QValidator(parent), field_(field) {
        before_ = parent->text();
        connect(parent, &QLineEdit::textChanged, this, [this](const QString& text) { before_ = text; });
    }
    State validate(QString& input, int&) const override {
        return field_.Admits(String(input.toStdString()), String(before_.toStdString())) ? Acceptable : Invalid;
    }

private:
    const TextField& field_;
    QString before_;
};

class FieldWidget : public QLineEdit {
public:
    FieldWidget(QWidget* parent, TextField& field) : QLineEdit(parent), field_(field) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            field_.PressDefaultButton();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    TextField& field_;
};
}  // namespace

const ClassInfo& TextField::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("TextField")) return *cls;
    return ClassBuilder("TextField", &RectControl::ClassObject(), [] { return std::make_shared<TextField>(); })
        .Properties({
            MakeProperty("Text", &TextField::SetText, &TextField::Text),
            MakeProperty("Alignment", &TextField::SetAlignment, &TextField::Alignment),
            MakeProperty("LimitText", &TextField::SetLimitText, &TextField::LimitText),
            MakeProperty("Mask", &TextField::SetMask, &TextField::Mask),
            MakeProperty("ReadOnly", &TextField::SetReadOnly, &TextField::ReadOnly),
            MakeProperty("Password", &TextField::SetPassword, &TextField::Password),
            MakeProperty("Border", &TextField::SetBorder, &TextField::Border),
            MakeProperty("CueText", &TextField::SetCueText, &TextField::CueText),
            MakeProperty("BackColor", &TextField::SetBackColor, &TextField::BackColor),
            MakeProperty("TextColor", &TextField::SetTextColor, &TextField::TextColor),
            MakeProperty("DataField", &TextField::SetDataField, &TextField::DataField),
            MakeProperty("DataSource", &TextField::SetDataSource, &TextField::DataSource),
            MakeProperty("AutomaticallyCheckSpelling", &TextField::SetAutomaticallyCheckSpelling,
                         &TextField::AutomaticallyCheckSpelling),
            MakeProperty("AcceptTabs", &TextField::SetAcceptTabs, &TextField::AcceptTabs),
            MakeProperty("Format", &TextField::SetFormat, &TextField::Format),
            MakeProperty("UseFocusRing", &TextField::SetUseFocusRing, &TextField::UseFocusRing),
        })
        .Properties(TextControl::StyleProperties())
        .Register();
}

String TextField::Text() const {
    return HasWidget() ? String(static_cast<QLineEdit*>(Widget())->text().toStdString()) : text_;
}

void TextField::SetText(String value) {
    text_ = std::move(value);
    if (!HasWidget()) return;
    // The program's text is shown whole: it passes no validator.
    auto* field = static_cast<QLineEdit*>(Widget());
    const QValidator* validator = field->validator();
    field->setValidator(nullptr);
    field->setText(ToQt(text_));
    field->setValidator(validator);
}

void TextField::SetMask(String value) {
    if (!std::all_of(value.View().begin(), value.View().end(), IsDigitPlace))
        throw UnsupportedOperationException("the mask " + value.Bytes() + " is not supported: only digit places 0, 9 and #");
    mask_ = std::move(value);
}

void TextField::SetAlignment(int32_t value) { alignment_ = value; Changed(); }
void TextField::SetReadOnly(bool value) { readOnly_ = value; Changed(); }
void TextField::SetPassword(bool value) { password_ = value; Changed(); }
void TextField::SetBorder(bool value) { border_ = value; Changed(); }
void TextField::SetCueText(String value) { cueText_ = std::move(value); Changed(); }
void TextField::SetBackColor(Color value) { backColor_ = value; Changed(); }
void TextField::SetTextColor(Color value) { textColor_ = value; Changed(); }

bool TextField::Admits(const String& edited, const String& before) const {
    // Only what the edit puts in must be digits, so that a value as read, such as "-360", can
    // still be shortened.
    const std::string_view putIn = PutIn(edited.View(), before.View());
    if (!mask_.IsEmpty() && !std::all_of(putIn.begin(), putIn.end(), IsDigit)) return false;
    size_t limit = limitText_ > 0 ? static_cast<size_t>(limitText_) : SIZE_MAX;
    if (!mask_.IsEmpty()) limit = std::min(limit, mask_.Size());
    const size_t length = Characters(edited);
    return length <= limit || length < Characters(before);
}

void TextField::PressDefaultButton() {
    for (const auto& [name, control] : NotNilOwner().Controls()) {
        auto button = std::dynamic_pointer_cast<PushButton>(control);
        if (button && button->Default() && button->Enabled() && button->Visible()) {
            button->Push();
            return;
        }
    }
}

QWidget* TextField::MakeWidget(QWidget* parent) {
    auto* field = new FieldWidget(parent, *this);
    // The program's text is shown whole, however long: only what the user types is limited.
    field->setMaxLength(std::numeric_limits<int>::max());
    field->setText(ToQt(text_));
    field->setValidator(new FieldValidator(field, *this));
    return field;
}

void TextField::Apply() {
    TextControl::Apply();
    if (!HasWidget()) return;
    auto* field = static_cast<QLineEdit*>(Widget());
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    field->setAlignment((alignment_ >= 0 && alignment_ <= 3 ? alignments[alignment_] : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    field->setReadOnly(readOnly_);
    field->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
    field->setFrame(border_);
    field->setPlaceholderText(ToQt(cueText_));
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, ToQt(backColor_));
    palette.setColor(QPalette::Text, ToQt(textColor_));
    field->setPalette(palette);
}
