#pragma once

#include "runtime/Desktop.h"

// The desktop as Qt reaches it.
class QtDesktop : public Desktop {
public:
    void Beep() override;
    void MessageBox(const String& text) override;
    void Launch(const String& path) override;
    void OpenURL(const String& url) override;
};
