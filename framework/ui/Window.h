#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/ClassInfo.h"

class QWidget;
class WindowWidget;

// The framework's window: a top-level Qt widget whose content area holds the controls. A
// subclass hooks its events (Layout, CreateControls, Close, ...) when its class is registered;
// constructing a window raises Layout and CreateControls, opens the controls, and shows it.
class Window : public Object {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use
    Window();
    ~Window() override;

    QWidget* Widget() const;  // the content area; the controls' parent

    // The design-time properties.
    int32_t Placement() const { return placement_; }
    void SetPlacement(int32_t value) { placement_ = value; }
    int32_t Width() const;
    void SetWidth(int32_t value);
    int32_t Height() const;
    void SetHeight(int32_t value);
    int32_t MinWidth() const { return minWidth_; }
    void SetMinWidth(int32_t value);
    int32_t MinHeight() const { return minHeight_; }
    void SetMinHeight(int32_t value);
    int32_t MaxWidth() const { return maxWidth_; }
    void SetMaxWidth(int32_t value);
    int32_t MaxHeight() const { return maxHeight_; }
    void SetMaxHeight(int32_t value);
    int32_t Frame() const { return frame_; }
    void SetFrame(int32_t value) { frame_ = value; }
    bool Composite() const { return composite_; }
    void SetComposite(bool value) { composite_ = value; }
    bool HasBackColor() const { return hasBackColor_; }
    void SetHasBackColor(bool value);
    Color BackColor() const { return backColor_; }
    void SetBackColor(Color value);
    String Title() const;
    void SetTitle(String value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool FullScreen() const { return fullScreen_; }
    void SetFullScreen(bool value);
    bool MenuBarVisible() const { return menuBarVisible_; }
    void SetMenuBarVisible(bool value) { menuBarVisible_ = value; }
    bool CloseButton() const { return closeButton_; }
    void SetCloseButton(bool value);
    bool Resizeable() const { return resizeable_; }
    void SetResizeable(bool value);
    bool LiveResize() const { return liveResize_; }
    void SetLiveResize(bool value) { liveResize_ = value; }
    bool MaximizeButton() const { return maximizeButton_; }
    void SetMaximizeButton(bool value);
    bool MinimizeButton() const { return minimizeButton_; }
    void SetMinimizeButton(bool value);
    bool FullScreenButton() const { return fullScreenButton_; }
    void SetFullScreenButton(bool value) { fullScreenButton_ = value; }
    int32_t MacProcId() const { return macProcId_; }
    void SetMacProcId(int32_t value) { macProcId_ = value; }

    // The virtual operations, in the order of the virtual table.
    void AcceptFileDrop(String fileType);
    void AcceptMacDataDrop(String type);
    void AcceptPictureDrop();
    void AcceptRawDataDrop(String type);
    void AcceptTextDrop();
    void Close();
    void Constructor();
    Ref<Object> Control(int32_t index);
    void DrawInto();
    void FocusNext();
    void FocusPrevious();
    void Hide();
    void Invalidate(bool eraseBackground);
    void InvalidateRect(int32_t left, int32_t top, int32_t width, int32_t height, bool eraseBackground);
    void Maximize();
    void Minimize();
    String Operator_Convert();
    void Refresh();
    void RefreshRect(int32_t left, int32_t top, int32_t width, int32_t height);
    void Restore();
    void SetFocus();
    void Show();
    void ShowModal();
    void ShowModalWithin();
    void ShowWithin();
    Ref<Object> TrueWindow();
    void UpdateNow();
    Ref<Object> WindowOf();
    void _AddControl(String name, Ref<Object> control);
    void _AddMenuHandler();
    Ref<Object> _ControlByName(String name);
    Ref<Object> _ControlByNameIndex(String name, int32_t index);
    void _Move(int32_t left, int32_t top);
    void __DependencyList();
    Ref<Object> __New(const ClassInfo& cls);

    // The controls in the order they were registered, with their names.
    const std::vector<std::pair<std::string, Ref<Object>>>& Controls() const { return controls_; }

    // The window widget's close event: raises Close and lets the window go.
    void WidgetClosing();

private:
    void ApplyGeometry();
    void ApplyFlags();
    void OrderTabStops();

    std::unique_ptr<WindowWidget> widget_;
    std::vector<std::pair<std::string, Ref<Object>>> controls_;
    bool constructed_ = false;

    int32_t placement_ = 0, frame_ = 0, macProcId_ = 0;
    int32_t width_ = 300, height_ = 300;
    int32_t minWidth_ = 64, minHeight_ = 64, maxWidth_ = 32000, maxHeight_ = 32000;
    bool composite_ = false, hasBackColor_ = false, visible_ = true, fullScreen_ = false;
    bool menuBarVisible_ = true, closeButton_ = true, resizeable_ = true, liveResize_ = true;
    bool maximizeButton_ = true, minimizeButton_ = true, fullScreenButton_ = false;
    Color backColor_{255, 255, 255};
};

// The implicit instance of a window class, registered under the class's name when it is
// constructed; nil until then and after it has closed.
Ref<Window> RuntimeGetImplicitWindow(std::string_view className);
// Every window constructed in this run, closed ones included, in order.
const std::vector<Ref<Window>>& RuntimeWindows();
void RuntimeReleaseWindows();
