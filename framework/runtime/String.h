#pragma once

#include <memory>
#include <string>
#include <string_view>

// The framework's text: an immutable, reference-counted run of bytes. Literals are UTF-8;
// a document's text is whatever bytes the file held, so nothing here assumes valid UTF-8
// except where characters are counted.
class String {
public:
    String();
    String(const char* text);
    String(std::string text);
    String(std::string_view text);
    String(const String&) = default;
    String& operator=(const String&) = default;
    // A String moved from is empty, like one made anew.
    String(String&& other) noexcept;
    String& operator=(String&& other) noexcept;

    std::string_view View() const { return *bytes_; }
    const std::string& Bytes() const { return *bytes_; }
    size_t Size() const { return bytes_->size(); }
    bool IsEmpty() const { return bytes_->empty(); }

    // Gives up the bytes and leaves this String empty. When no other String shares them they
    // are moved out, not copied, so that a large text can be changed where it lies.
    std::string TakeBytes();

    friend bool operator==(const String& a, const String& b) { return a.View() == b.View(); }

private:
    std::shared_ptr<std::string> bytes_;  // never changed while any String refers to them
};

// The string operations the program calls by name.
String RuntimeAddString(const String& first, const String& second);
int RuntimeStringCompareIgnoringCase(const String& a, const String& b);  // ASCII letters' case ignored
String StringDBCSRight(const String& text, int characters);   // the last characters, UTF-8 aware
String runCStr(long long value);                              // decimal text

// A text from outside, a name or the system's, as it may stand among the program's words. One
// that holds a bidirectional control is isolated, so that the control cannot reorder the words
// around it: it comes between FIRST STRONG ISOLATE and POP DIRECTIONAL ISOLATE, and whatever it
// opens and leaves open is closed before its end. Any other text is given as it is.
String StringIsolated(const String& text);
