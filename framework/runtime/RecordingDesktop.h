#pragma once

#include <string>
#include <vector>

#include "Desktop.h"

// A desktop that shows nothing and records each call, in order, as "Beep", "MessageBox <text>",
// "Launch <path>" or "OpenURL <url>".
class RecordingDesktop : public Desktop {
public:
    void Beep() override { calls.push_back("Beep"); }
    void MessageBox(const String& text) override { calls.push_back("MessageBox " + text.Bytes()); }
    void Launch(const String& path) override { calls.push_back("Launch " + path.Bytes()); }
    void OpenURL(const String& url) override { calls.push_back("OpenURL " + url.Bytes()); }

    std::vector<std::string> calls;
};
