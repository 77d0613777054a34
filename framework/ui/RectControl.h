#pragma once

#include "Control.h"

class QWidget;
class QObject;
class DragItem;

// A control that stands in a rectangle of its window's content area. Its Constructor makes the
// Qt widget that draws it, as a child of the window's content area; the properties set before
// that are kept and applied then.
class RectControl : public Control {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use
    ~RectControl() override;

    void Constructor();
    QWidget* Widget() const;  // raises NilObjectException before the Constructor has run

    int32_t Left() const { return left_; }
    void SetLeft(int32_t value);
    int32_t Top() const { return top_; }
    void SetTop(int32_t value);
    int32_t Width() const { return width_; }
    void SetWidth(int32_t value);
    int32_t Height() const { return height_; }
    void SetHeight(int32_t value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    String HelpTag() const { return helpTag_; }
    void SetHelpTag(String value);
    int32_t TabIndex() const { return tabIndex_; }
    void SetTabIndex(int32_t value) { tabIndex_ = value; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    int32_t TabPanelIndex() const { return tabPanelIndex_; }
    void SetTabPanelIndex(int32_t value) { tabPanelIndex_ = value; }
    bool LockLeft() const { return lockLeft_; }
    void SetLockLeft(bool value) { lockLeft_ = value; }
    bool LockTop() const { return lockTop_; }
    void SetLockTop(bool value) { lockTop_ = value; }
    bool LockRight() const { return lockRight_; }
    void SetLockRight(bool value) { lockRight_ = value; }
    bool LockBottom() const { return lockBottom_; }
    void SetLockBottom(bool value) { lockBottom_ = value; }
    bool AutoDeactivate() const { return autoDeactivate_; }
    void SetAutoDeactivate(bool value) { autoDeactivate_ = value; }
    String InitialParent() const { return initialParent_; }
    void SetInitialParent(String value) { initialParent_ = std::move(value); }

    // Declares a kind of file the control takes when it is dropped on it: the name of a
    // registered file type, or "special/any" for any file or folder.
    void AcceptFileDrop(String fileType);
    // Whether a drag that carries these items may be dropped here: its first item is a local
    // file of an accepted kind, or it brings no file at all.
    bool AcceptsDrop(const DragItem& item) const;
    // Raises DropObject with the items of a drop and the drop action.
    virtual void DropObject(Ref<DragItem> item, int32_t action);

    // The events a rectangular control adds to Control's, numbered on from Open (2):
    // ConstructContextualMenu 3, ContextualMenuAction 4, DragEnter 5, DragExit 6, DragOver 7,
    // DropObject 8, KeyDown 9, KeyUp 10, MouseEnter 11, MouseExit 12, MouseMove 13, MouseWheel 14.
    static constexpr int kDropObjectEvent = 8;
    static constexpr int kFirstOwnEvent = 15;  // a subclass's first event

    // While a property table is applied, its values are only taken; the widget shows them once,
    // at the end.
    void BeginProperties() override { ++takingProperties_; }
    void EndProperties() override;
    // What each property's setter calls: the widget shows the change, unless a table is applied.
    void Changed();

protected:
    // Makes the widget of the control's class, as a child of the parent given.
    virtual QWidget* MakeWidget(QWidget* parent) = 0;
    // Shows the properties on the widget, once it exists; a subclass adds its own.
    virtual void Apply();
    bool HasWidget() const { return widget_ != nullptr; }
    Window& NotNilOwner() const;

private:
    QWidget* widget_ = nullptr;
    std::unique_ptr<QObject> dropFilter_;
    std::vector<std::string> acceptedFileTypes_;  // owned by the control; the window's widget may delete it first
    int defaultFocusPolicy_ = 0;
    int takingProperties_ = 0;
    int32_t left_ = 0, top_ = 0, width_ = 100, height_ = 20;
    bool visible_ = true, enabled_ = true, tabStop_ = true;
    String helpTag_;
    int32_t tabIndex_ = 0, tabPanelIndex_ = 0;
    bool lockLeft_ = true, lockTop_ = true, lockRight_ = false, lockBottom_ = false;
    bool autoDeactivate_ = true;
    String initialParent_;
};
