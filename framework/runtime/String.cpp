#include "String.h"

#include <algorithm>
#include <utility>

namespace {
// Shared by every empty String, and held here as well, so that it is never taken.
const std::shared_ptr<std::string>& EmptyBytes() {
    static const auto empty = std::make_shared<std::string>();
    return empty;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

String::String() : bytes_(EmptyBytes()) {}
String::String(const char* text) : bytes_(std::make_shared<std::string>(text)) {}
String::String(std::string text) : bytes_(std::make_shared<std::string>(std::move(text))) {}
String::String(std::string_view text) : bytes_(std::make_shared<std::string>(text)) {}
String::String(String&& other) noexcept : bytes_(std::exchange(other.bytes_, EmptyBytes())) {}

String& String::operator=(String&& other) noexcept {
    if (this != &other) bytes_ = std::exchange(other.bytes_, EmptyBytes());
    return *this;
}

std::string String::TakeBytes() {
    std::string bytes = bytes_.use_count() == 1 ? std::move(*bytes_) : *bytes_;
    bytes_ = EmptyBytes();
    return bytes;
}

String RuntimeAddString(const String& first, const String& second) {
    std::string joined;
    joined.reserve(first.Size() + second.Size());
    joined.append(first.View()).append(second.View());
    return String(std::move(joined));
}

int RuntimeStringCompareIgnoringCase(const String& a, const String& b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    const std::string_view x = a.View(), y = b.View();
    const auto [at, other] = std::mismatch(x.begin(), x.end(), y.begin(), y.end(),
                                           [&](char p, char q) { return lower(p) == lower(q); });
    if (at == x.end()) return other == y.end() ? 0 : -1;
    if (other == y.end()) return 1;
    const unsigned char p = static_cast<unsigned char>(lower(*at)), q = static_cast<unsigned char>(lower(*other));
    return p < q ? -1 : 1;
}

String StringDBCSRight(const String& text, int characters) {
    const std::string_view bytes = text.View();
    size_t start = bytes.size();
    for (int counted = 0; counted < characters && start > 0; ++counted) {
        --start;
        while (start > 0 && IsContinuationByte(bytes[start])) --start;
    }
    return String(bytes.substr(start));
}

String runCStr(long long value) { return String(std::to_string(value)); }
