#include "Desktop.h"

#include "RuntimeException.h"

namespace {
std::unique_ptr<Desktop>& Installed() {
    static std::unique_ptr<Desktop> desktop;
    return desktop;
}
}  // namespace

Desktop& CurrentDesktop() {
    if (!Installed()) throw NilObjectException("no desktop is installed");
    return *Installed();
}

bool HasDesktop() { return Installed() != nullptr; }
void SetDesktop(std::unique_ptr<Desktop> desktop) { Installed() = std::move(desktop); }

void RuntimeBeep() { CurrentDesktop().Beep(); }
void RuntimeMsgBox(const String& text) { CurrentDesktop().MessageBox(text); }
