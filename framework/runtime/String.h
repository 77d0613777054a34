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

    std::string_view View() const { return *bytes_; }
    const std::string& Bytes() const { return *bytes_; }
    size_t Size() const { return bytes_->size(); }
    bool IsEmpty() const { return bytes_->empty(); }

    friend bool operator==(const String& a, const String& b) { return a.View() == b.View(); }

private:
    std::shared_ptr<const std::string> bytes_;
};

// The string operations the program calls by name.
String RuntimeAddString(const String& first, const String& second);
int RuntimeStringCompareIgnoringCase(const String& a, const String& b);  // ASCII letters' case ignored
String StringDBCSRight(const String& text, int characters);   // the last characters, UTF-8 aware
String runCStr(long long value);                              // decimal text
