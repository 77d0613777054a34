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

// The characters of Unicode's Bidi_Control: the letter marks, the embeddings and overrides with
// their pop, and the isolates with theirs.
constexpr std::string_view kBidiControls[] = {"\u061C", "\u200E", "\u200F", "\u202A", "\u202B", "\u202C",
                                              "\u202D", "\u202E", "\u2066", "\u2067", "\u2068", "\u2069"};
constexpr std::string_view kFirstStrongIsolate = "\u2068", kPopIsolate = "\u2069";

// The length of the paragraph separator that the text starts with, or 0: the bidirectional
// algorithm ends every embedding, override and isolate there, and begins anew after it.
size_t ParagraphSeparatorAt(std::string_view text) {
    if (text.starts_with("\r\n")) return 2;
    if (text.starts_with("\u0085")) return 2;
    if (text.starts_with("\u2029")) return 3;
    const char c = text.front();
    return c == '\n' || c == '\r' || (c >= '\x1C' && c <= '\x1E') ? 1 : 0;
}
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

// A pop directional isolate ends the isolate that was opened last and not yet ended, and with
// it every embedding and override opened inside it. So the isolate around the text is ended by
// its own pop once the text's own open isolates have theirs; a pop of the text that would end
// it early ends an isolate put before that pop instead. Each paragraph of the text is isolated
// alone, since the algorithm isolates nothing across paragraphs.
String StringIsolated(const String& text) {
    const std::string_view bytes = text.View();
    const auto holds = [bytes](std::string_view control) { return bytes.find(control) != std::string_view::npos; };
    if (std::none_of(std::begin(kBidiControls), std::end(kBidiControls), holds)) return text;
    std::string isolated(kFirstStrongIsolate);
    size_t open = 0;  // the text's isolates not yet ended in this paragraph
    const auto close = [&] {
        for (; open > 0; --open) isolated.append(kPopIsolate);
        isolated.append(kPopIsolate);
    };
    for (size_t at = 0; at < bytes.size();) {
        const std::string_view rest = bytes.substr(at);
        if (const size_t separator = ParagraphSeparatorAt(rest)) {
            close();
            isolated.append(rest.substr(0, separator)).append(kFirstStrongIsolate);
            at += separator;
            continue;
        }
        if (rest.starts_with("\u2066") || rest.starts_with("\u2067") || rest.starts_with(kFirstStrongIsolate)) ++open;
        if (rest.starts_with(kPopIsolate)) {
            if (open == 0) isolated.append(kFirstStrongIsolate);
            else --open;
        }
        isolated.push_back(bytes[at++]);
    }
    close();
    return String(std::move(isolated));
}
