#include "FrameworkClasses.h"

#include "appearance/BevelButton.h"
#include "ui/Application.h"
#include "ui/Canvas.h"
#include "ui/Control.h"
#include "ui/Label.h"
#include "ui/PushButton.h"
#include "ui/RectControl.h"
#include "ui/TextField.h"
#include "ui/Window.h"

void RuntimeRegisterFrameworkClasses() {
    Application::ClassObject();
    Window::ClassObject();
    Control::ClassObject();
    RectControl::ClassObject();
    PushButton::ClassObject();
    Canvas::ClassObject();
    TextField::ClassObject();
    Label::ClassObject();
    BevelButton::ClassObject();
}
