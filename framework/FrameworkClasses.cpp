#include "FrameworkClasses.h"

#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/Window.h"

void RuntimeRegisterFrameworkClasses() {
    Application::ClassObject();
    Window::ClassObject();
    Control::ClassObject();
}
