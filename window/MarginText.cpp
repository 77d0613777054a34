#include "MarginText.h"

#include <algorithm>
#include <vector>

#include "files/TextOutputStream.h"
#include "regex/RegEx.h"
#include "regex/RegExMatch.h"
#include "runtime/RuntimeException.h"

const String MarginText::kMarker = "!:\xC3\xA0&#|#&:!";

namespace {
const char* const kNames[4] = {"margl", "margr", "margt", "margb"};

// A word matches only where no letter follows its five letters, so that longer control words
// (the section margins \marglsxn, ...) are never taken for it, and only where its backslash is
// not itself escaped: "\\margl" is the text "\margl". The careful pattern, which knows escapes,
// searches sixty times slower than the quick one, so it runs only when the quick one has found
// the letters after an escaped backslash. The careful match begins at the word (\K).
std::string QuickPattern(const char* name) { return std::string(R"(\\)") + name + R"((?![A-Za-z])(-?\d*))"; }
std::string CarefulPattern(const char* name) {
    return std::string(R"((?<!\\)(?:\\\\)*\K\\)") + name + R"((?![A-Za-z])(-?\d*))";
}

// Whether the backslash at `at` is escaped: an odd number of backslashes stands before it.
bool IsEscaped(std::string_view text, size_t at) {
    size_t backslashes = 0;
    while (at > backslashes && text[at - 1 - backslashes] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

const char* const kFontTable = R"({\\fonttbl\\)";

struct Edit {
    size_t at;
    size_t length;
    String replacement;  // the marker, or empty for a deleted word
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the text ends in a control word (a backslash that is not itself escaped, letters, and
// an optional signed number), which would run into whatever comes to follow it.
bool EndsInControlWord(std::string_view text) {
    size_t at = text.size();
    while (at > 0 && IsDigit(text[at - 1])) --at;
    if (at > 0 && text[at - 1] == '-') --at;
    const size_t lettersEnd = at;
    while (at > 0 && IsLetter(text[at - 1])) --at;
    if (at == lettersEnd || at == 0 || text[at - 1] != '\\') return false;
    size_t backslashes = 0;
    while (at > 0 && text[at - 1] == '\\') --at, ++backslashes;
    return backslashes % 2 == 1;
}

// A deleted word took its delimiter with it. When a control word (or the marker, which becomes
// one) now stands right before a letter, a digit, a hyphen or a blank, one blank goes back so
// that the two do not run together.
bool NeedsDelimiter(std::string_view before, bool endsInMarker, std::string_view after) {
    if (after.empty()) return false;
    const char next = after.front();
    if (!IsLetter(next) && !IsDigit(next) && next != '-' && next != ' ') return false;
    return endsInMarker || EndsInControlWord(before);
}

// Whether the control word that ends `text` would take `next` as part of itself: letters take
// more letters, a minus sign or digits; a minus sign or digits take more digits.
bool RunsInto(std::string_view text, char next) {
    if (text.empty() || !EndsInControlWord(text)) return false;
    if (IsLetter(text.back())) return IsLetter(next) || IsDigit(next) || next == '-';
    return IsDigit(next);
}
}  // namespace

MarginText MarginText::Mark(const String& document) {
    MarginText result;
    std::vector<Edit> edits;
    RegEx regex;
    regex.SetReplacementPattern(kMarker);  // the first word found takes the marker, the later ones nothing
    for (size_t word = 0; word < 4; ++word) {
        regex.SetSearchPattern(QuickPattern(kNames[word]));
        Ref<RegExMatch> match = regex.Search(document);
        if (match && IsEscaped(document.View(), static_cast<size_t>(match->SubExpressionStartB(0)))) {
            regex.SetSearchPattern(CarefulPattern(kNames[word]));
            match = regex.Search(document);
        }
        if (!match) continue;
        result.values[word] = match->SubExpressionString(1);
        edits.push_back({static_cast<size_t>(match->SubExpressionStartB(0)), match->SubExpressionString(0).Size(),
                         regex.ReplacementPattern()});
        regex.SetReplacementPattern(String());
    }
    if (edits.empty()) {
        regex.SetSearchPattern(kFontTable);
        if (const Ref<RegExMatch> match = regex.Search(document))
            edits.push_back({static_cast<size_t>(match->SubExpressionStartB(0)), 0, kMarker});
    }
    if (edits.empty()) {
        result.text = document;
        return result;
    }

    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    const std::string_view bytes = document.View();
    std::string marked;
    marked.reserve(bytes.size() + kMarker.Size() + edits.size());
    size_t from = 0;
    for (const Edit& edit : edits) {
        marked.append(bytes.substr(from, edit.at - from));
        from = edit.at + edit.length;
        if (!edit.replacement.IsEmpty()) {
            result.marker = marked.size();
            marked.append(edit.replacement.View());  // the word's blank stays behind the marker
            continue;
        }
        if (from < bytes.size() && bytes[from] == ' ') ++from;
        const bool endsInMarker = result.marker != std::string::npos && result.marker + kMarker.Size() == marked.size();
        if (NeedsDelimiter(marked, endsInMarker, bytes.substr(from))) marked.push_back(' ');
    }
    marked.append(bytes.substr(from));
    result.text = String(std::move(marked));
    return result;
}

String MarginText::Words(const String& left, const String& right, const String& top, const String& bottom) {
    const char* const names[4] = {"\\margl", "\\margr", "\\margt", "\\margb"};
    const String* const values[4] = {&left, &right, &top, &bottom};
    String words;
    for (size_t word = 0; word < 4; ++word) words = RuntimeAddString(RuntimeAddString(words, names[word]), *values[word]);
    return words;
}

void MarginText::Write(TextOutputStream& stream, const String& marked, size_t marker, const String& words) {
    Write([&stream](std::string_view bytes) { stream.Write(bytes); }, marked, marker, words);
}

void MarginText::Write(const std::function<void(std::string_view)>& out, const String& marked, size_t marker,
                       const String& words) {
    const std::string_view bytes = marked.View();
    if (marker > bytes.size() || bytes.substr(marker, kMarker.Size()) != kMarker.View())
        throw OutOfBoundsException("the text holds no marker at byte " + std::to_string(marker));
    const std::string_view rest = bytes.substr(marker + kMarker.Size());
    out(bytes.substr(0, marker));
    out(words.View());
    // The marked word ended where its value did; the last word, with the value it has now, may
    // not, and a blank keeps it from running into the text.
    if (!rest.empty() && RunsInto(words.View(), rest.front())) out(" ");
    out(rest);
}
