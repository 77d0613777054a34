#pragma once

#include "ui/Window.h"

// The margin editor: the application's one window.
class WindowVelloran : public Window {
public:
    static const ClassInfo& ClassObject();  // registers the class on first use
    static void RegisterClass();

    void Layout();
    void CreateControls();
    void _CreateControls0();
    void Event_Close();
};

// The window's implicit instance, made on first need.
Ref<WindowVelloran> ImplicitWindowVelloran();
