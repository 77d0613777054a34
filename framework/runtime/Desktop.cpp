#include "Desktop.h"

#include <filesystem>

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
