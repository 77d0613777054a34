#include "Window.h"

#include <QCloseEvent>
#include <QWidget>
#include <algorithm>

#include "Application.h"
#include "Control.h"
#include "RectControl.h"
#include "runtime/ClassRegistry.h"
#include "runtime/Runtime.h"

// The top-level widget: its close box raises the window's Close event.
class WindowWidget : public QWidget {
public:
    explicit WindowWidget(Window& owner) : owner_(owner) {}
    bool FocusNext() { return focusNextChild(); }
    bool FocusPrevious() { return focusPreviousChild(); }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        owner_.WidgetClosing();
    }

private:
    Window& owner_;
};

namespace {
struct WindowRegistry {
    std::vector<Ref<Window>> all;
    std::vector<std::pair<std::string, std::weak_ptr<Window>>> implicit;
};

WindowRegistry& Registry() {
    static WindowRegistry registry;
    return registry;
}

[[noreturn]] void NotSupported(const char* operation) {
    throw UnsupportedOperationException(std::string("Window.") + operation + " is not supported");
}

QColor ToQt(Color c) { return QColor(c.red, c.green, c.blue); }
}  // namespace

const ClassInfo& Window::ClassObject() {
    if (const ClassInfo* cls = RuntimeFindClass("Window")) return *cls;
    return ClassBuilder("Window", nullptr, [] { return std::make_shared<Window>(); })
        .Events({"Activate", "AddMenuHandlers", "CancelClose", "Close", "ConstructContextualMenu",
                 "ContentsChanged", "ContextualMenuAction", "CreateControls", "Deactivate",
                 "DragEnter", "DragExit", "DragOver", "DropObject", "EnableMenuItems", "KeyDown",
                 "KeyUp", "Layout", "Maximize", "Minimize", "MouseDown", "MouseDrag", "MouseEnter",
                 "MouseExit", "MouseMove", "MouseUp", "MouseWheel", "Moved", "Open", "Paint",
                 "Resized", "Resizing", "Restore", "SetupBindings"})
        .Properties({
            MakeProperty("Placement", &Window::SetPlacement, &Window::Placement),
            MakeProperty("Width", &Window::SetWidth, &Window::Width),
            MakeProperty("Height", &Window::SetHeight, &Window::Height),
            MakeProperty("MinWidth", &Window::SetMinWidth, &Window::MinWidth),
            MakeProperty("MinHeight", &Window::SetMinHeight, &Window::MinHeight),
            MakeProperty("MaxWidth", &Window::SetMaxWidth, &Window::MaxWidth),
            MakeProperty("MaxHeight", &Window::SetMaxHeight, &Window::MaxHeight),
            MakeProperty("Frame", &Window::SetFrame, &Window::Frame),
            MakeProperty("Composite", &Window::SetComposite, &Window::Composite),
            MakeProperty("HasBackColor", &Window::SetHasBackColor, &Window::HasBackColor),
            MakeProperty("BackColor", &Window::SetBackColor, &Window::BackColor),
            MakeProperty("Title", &Window::SetTitle, &Window::Title),
            MakeProperty("Visible", &Window::SetVisible, &Window::Visible),
            MakeProperty("FullScreen", &Window::SetFullScreen, &Window::FullScreen),
            MakeProperty("MenuBarVisible", &Window::SetMenuBarVisible, &Window::MenuBarVisible),
            MakeProperty("CloseButton", &Window::SetCloseButton, &Window::CloseButton),
            MakeProperty("Resizeable", &Window::SetResizeable, &Window::Resizeable),
            MakeProperty("LiveResize", &Window::SetLiveResize, &Window::LiveResize),
            MakeProperty("MaximizeButton", &Window::SetMaximizeButton, &Window::MaximizeButton),
            MakeProperty("MinimizeButton", &Window::SetMinimizeButton, &Window::MinimizeButton),
            MakeProperty("FullScreenButton", &Window::SetFullScreenButton, &Window::FullScreenButton),
            MakeProperty("MacProcId", &Window::SetMacProcId, &Window::MacProcId),
        })
        .Virtual(::Virtual("AcceptFileDrop", &Window::AcceptFileDrop))
        .Virtual(::Virtual("AcceptMacDataDrop", &Window::AcceptMacDataDrop))
        .Virtual(::Virtual("AcceptPictureDrop", &Window::AcceptPictureDrop))
        .Virtual(::Virtual("AcceptRawDataDrop", &Window::AcceptRawDataDrop))
        .Virtual(::Virtual("AcceptTextDrop", &Window::AcceptTextDrop))
        .Virtual(::Virtual("Close", &Window::Close))
        .Virtual(::Virtual("Constructor", &Window::Constructor))
        .Virtual(::Virtual("Control", &Window::Control))
        .Virtual(::Virtual("DrawInto", &Window::DrawInto))
        .Virtual(::Virtual("FocusNext", &Window::FocusNext))
        .Virtual(::Virtual("FocusPrevious", &Window::FocusPrevious))
        .Virtual(::Virtual("Hide", &Window::Hide))
        .Virtual(::Virtual("Invalidate", &Window::Invalidate))
        .Virtual(::Virtual("Invalidate", &Window::InvalidateRect))
        .Virtual(::Virtual("Maximize", &Window::Maximize))
        .Virtual(::Virtual("Minimize", &Window::Minimize))
        .Virtual(::Virtual("Operator_Convert", &Window::Operator_Convert))
        .Virtual(::Virtual("Refresh", &Window::Refresh))
        .Virtual(::Virtual("RefreshRect", &Window::RefreshRect))
        .Virtual(::Virtual("Restore", &Window::Restore))
        .Virtual(::Virtual("SetFocus", &Window::SetFocus))
        .Virtual(::Virtual("Show", &Window::Show))
        .Virtual(::Virtual("ShowModal", &Window::ShowModal))
        .Virtual(::Virtual("ShowModalWithin", &Window::ShowModalWithin))
        .Virtual(::Virtual("ShowWithin", &Window::ShowWithin))
        .Virtual(::Virtual("TrueWindow", &Window::TrueWindow))
        .Virtual(::Virtual("UpdateNow", &Window::UpdateNow))
        .Virtual(::Virtual("Window", &Window::WindowOf))
        .Virtual(::Virtual("_AddControl", &Window::_AddControl))
        .Virtual(::Virtual("_AddMenuHandler", &Window::_AddMenuHandler))
        .Virtual(::Virtual("_ControlByName", &Window::_ControlByName))
        .Virtual(::Virtual("_ControlByNameIndex", &Window::_ControlByNameIndex))
        .Virtual(::Virtual("_Move", &Window::_Move))
        .Virtual(::Virtual("__DependencyList", &Window::__DependencyList))
        .Virtual(::Virtual("__New", &Window::__New))
        .Register();
}

Window::Window() = default;

Window::~Window() {
    // The controls go before the widget that holds theirs.
    controls_.clear();
}

QWidget* Window::Widget() const {
    if (!widget_) throw NilObjectException("the window has not been constructed");
    return widget_.get();
}

void Window::Constructor() {
    const auto* app = dynamic_cast<const Application*>(getAppObject().get());
    if (app && app->CurrentThread())
        throw ThreadAccessingUIException("a window can only be made on the main thread");

    widget_ = std::make_unique<WindowWidget>(*this);
    ApplyFlags();
    ApplyGeometry();

    RaiseClassEvent<>(*this, "Layout");
    RaiseClassEvent<>(*this, "CreateControls");

    auto self = std::static_pointer_cast<Window>(shared_from_this());
    Registry().all.push_back(self);
    if (!RuntimeGetImplicitWindow(Class()->name)) Registry().implicit.emplace_back(Class()->name, self);

    OrderTabStops();

    // The controls open only once all of them exist, since an Open handler may reach another.
    for (const auto& [name, control] : controls_)
        if (auto c = std::dynamic_pointer_cast<::Control>(control)) c->Open();

    constructed_ = true;
    if (visible_) Show();
}

// Tab goes through the tab stops in the order of their TabIndex; equal ones keep the order in
// which they were added.
void Window::OrderTabStops() {
    std::vector<RectControl*> stops;
    for (const auto& [name, control] : controls_)
        if (auto* c = dynamic_cast<RectControl*>(control.get()); c && c->TabStop()) stops.push_back(c);
    std::stable_sort(stops.begin(), stops.end(),
                     [](const RectControl* a, const RectControl* b) { return a->TabIndex() < b->TabIndex(); });
    for (size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1]->Widget(), stops[i]->Widget());
}

void Window::WidgetClosing() {
    auto& implicit = Registry().implicit;
    implicit.erase(std::remove_if(implicit.begin(), implicit.end(),
                                  [this](const auto& entry) { return entry.second.lock().get() == this; }),
                   implicit.end());
    RuntimeDispatch([this] { RaiseClassEvent<>(*this, "Close"); });
}

int32_t Window::Width() const { return width_; }
void Window::SetWidth(int32_t value) { width_ = value; ApplyGeometry(); }
int32_t Window::Height() const { return height_; }
void Window::SetHeight(int32_t value) { height_ = value; ApplyGeometry(); }
void Window::SetMinWidth(int32_t value) { minWidth_ = value; ApplyGeometry(); }
void Window::SetMinHeight(int32_t value) { minHeight_ = value; ApplyGeometry(); }
void Window::SetMaxWidth(int32_t value) { maxWidth_ = value; ApplyGeometry(); }
void Window::SetMaxHeight(int32_t value) { maxHeight_ = value; ApplyGeometry(); }
void Window::SetResizeable(bool value) { resizeable_ = value; ApplyGeometry(); }

void Window::SetHasBackColor(bool value) { hasBackColor_ = value; SetBackColor(backColor_); }
void Window::SetBackColor(Color value) {
    backColor_ = value;
    if (!widget_) return;
    // Without a back colour of its own, the window keeps the platform's background.
    QPalette palette;
    if (hasBackColor_) palette.setColor(QPalette::Window, ToQt(backColor_));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(hasBackColor_);
}

String Window::Title() const { return widget_ ? String(widget_->windowTitle().toStdString()) : String(); }
void Window::SetTitle(String value) { Widget()->setWindowTitle(QString::fromStdString(value.Bytes())); }

void Window::SetVisible(bool value) {
    visible_ = value;
    if (constructed_) value ? Show() : Hide();
}

void Window::SetFullScreen(bool value) {
    fullScreen_ = value;
    if (constructed_ && visible_) Show();
}

void Window::SetCloseButton(bool value) { closeButton_ = value; ApplyFlags(); }
void Window::SetMaximizeButton(bool value) { maximizeButton_ = value; ApplyFlags(); }
void Window::SetMinimizeButton(bool value) { minimizeButton_ = value; ApplyFlags(); }

void Window::ApplyGeometry() {
    if (!widget_) return;
    if (resizeable_) {
        widget_->setMinimumSize(minWidth_, minHeight_);
        widget_->setMaximumSize(maxWidth_, maxHeight_);
        widget_->resize(width_, height_);
    } else {
        widget_->setFixedSize(width_, height_);
    }
}

void Window::ApplyFlags() {
    if (!widget_) return;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton_) flags |= Qt::WindowCloseButtonHint;
    if (minimizeButton_) flags |= Qt::WindowMinimizeButtonHint;
    if (maximizeButton_ && resizeable_) flags |= Qt::WindowMaximizeButtonHint;
    if (fullScreenButton_) flags |= Qt::WindowFullscreenButtonHint;
    const bool shown = widget_->isVisible();
    widget_->setWindowFlags(flags);
    if (shown) widget_->show();
}

void Window::AcceptFileDrop(String) { NotSupported("AcceptFileDrop: the window takes no drops; its controls do"); }
void Window::AcceptMacDataDrop(String) { NotSupported("AcceptMacDataDrop"); }
void Window::AcceptPictureDrop() { NotSupported("AcceptPictureDrop"); }
void Window::AcceptRawDataDrop(String) { NotSupported("AcceptRawDataDrop"); }
void Window::AcceptTextDrop() { NotSupported("AcceptTextDrop"); }
void Window::Close() { Widget()->close(); }

Ref<Object> Window::Control(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= controls_.size()) return nullptr;
    return controls_[static_cast<size_t>(index)].second;
}

void Window::DrawInto() { NotSupported("DrawInto"); }
void Window::FocusNext() { Widget(); widget_->FocusNext(); }
void Window::FocusPrevious() { Widget(); widget_->FocusPrevious(); }
void Window::Hide() { Widget()->hide(); }
void Window::Invalidate(bool) { Widget()->update(); }
void Window::InvalidateRect(int32_t left, int32_t top, int32_t width, int32_t height, bool) {
    Widget()->update(left, top, width, height);
}
void Window::Maximize() { Widget()->showMaximized(); }
void Window::Minimize() { Widget()->showMinimized(); }
String Window::Operator_Convert() { return Title(); }
void Window::Refresh() { Widget()->repaint(); }
void Window::RefreshRect(int32_t left, int32_t top, int32_t width, int32_t height) {
    Widget()->repaint(left, top, width, height);
}
void Window::Restore() { Widget()->showNormal(); }
void Window::SetFocus() { Widget()->activateWindow(); }

void Window::Show() {
    visible_ = true;
    if (fullScreen_) Widget()->showFullScreen();
    else Widget()->show();
}

void Window::ShowModal() { NotSupported("ShowModal"); }
void Window::ShowModalWithin() { NotSupported("ShowModalWithin"); }
void Window::ShowWithin() { NotSupported("ShowWithin"); }
Ref<Object> Window::TrueWindow() { return shared_from_this(); }
void Window::UpdateNow() { Widget()->repaint(); }
Ref<Object> Window::WindowOf() { return shared_from_this(); }

void Window::_AddControl(String name, Ref<Object> control) {
    controls_.emplace_back(name.Bytes(), std::move(control));
}

void Window::_AddMenuHandler() { NotSupported("_AddMenuHandler: the window has no menus"); }

Ref<Object> Window::_ControlByName(String name) { return _ControlByNameIndex(std::move(name), -1); }

Ref<Object> Window::_ControlByNameIndex(String name, int32_t index) {
    for (const auto& [registered, control] : controls_) {
        if (registered != name.View()) continue;
        auto c = std::dynamic_pointer_cast<::Control>(control);
        if (index < 0 || (c && c->Index() == index)) return control;
    }
    return nullptr;
}

void Window::_Move(int32_t left, int32_t top) { Widget()->move(left, top); }
void Window::__DependencyList() { NotSupported("__DependencyList"); }

Ref<Object> Window::__New(const ClassInfo& cls) {
    Ref<Object> object = RuntimeNewObject(cls);
    if (auto control = std::dynamic_pointer_cast<::Control>(object)) control->SetOwner(*this);
    return object;
}

Ref<Window> RuntimeGetImplicitWindow(std::string_view className) {
    for (const auto& [name, window] : Registry().implicit)
        if (name == className) return window.lock();
    return nullptr;
}

const std::vector<Ref<Window>>& RuntimeWindows() { return Registry().all; }

void RuntimeReleaseWindows() {
    Registry().implicit.clear();
    auto windows = std::move(Registry().all);
    Registry().all.clear();
    windows.clear();
}
