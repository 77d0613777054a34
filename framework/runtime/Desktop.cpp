#include "Desktop.h"

#include <filesystem>

#include "RuntimeException.h"

namespace {
std::unique_ptr<Desktop>& Installed() {
    static std::unique_ptr<Desktop> desktop;
    return desktop;
}

struct MessageBoxes {
    int shown = 0;
    void (*closed)() = nullptr;
};

MessageBoxes& Boxes() {
    static MessageBoxes boxes;
    return boxes;
}

// Counts a box as up while the desktop shows it, however it ends.
class BoxShown {
public:
    BoxShown() { ++Boxes().shown; }
    ~BoxShown() {
        if (--Boxes().shown == 0 && Boxes().closed) Boxes().closed();
    }
    BoxShown(const BoxShown&) = delete;
    BoxShown& operator=(const BoxShown&) = delete;
};
}  // namespace

Desktop& CurrentDesktop() {
    if (!Installed()) throw NilObjectException("no desktop is installed");
    return *Installed();
}

bool HasDesktop() { return Installed() != nullptr; }
void SetDesktop(std::unique_ptr<Desktop> desktop) { Installed() = std::move(desktop); }

void RuntimeBeep() { CurrentDesktop().Beep(); }

void RuntimeMsgBox(const String& text) {
    Desktop& desktop = CurrentDesktop();
    const BoxShown shown;
    desktop.MessageBox(text);
}

bool RuntimeMessageBoxShown() { return Boxes().shown > 0; }
void RuntimeSetMessageBoxesClosed(void (*closed)()) { Boxes().closed = closed; }

void GlobalShowURL(const String& url) { CurrentDesktop().OpenURL(url); }

String LaunchTarget(const String& path, bool desktopOpensPackages) {
    const std::string& bytes = path.Bytes();
    std::error_code unreadable;  // a folder that cannot be looked at is launched as it is
    const bool named =
        bytes.size() >= 5 && RuntimeStringCompareIgnoringCase(bytes.substr(bytes.size() - 5), ".rtfd") == 0;
    const bool package = named && std::filesystem::is_directory(bytes, unreadable);
    if (!package || desktopOpensPackages) return path;
    return String(bytes + "/TXT.rtf");
}
