// Feeds arbitrary bytes to the margin reader and writer and checks, against a reading of the
// bytes as Rich Text that is made here independently (groups, destinations, escapes, \binN),
// that the words taken are those a reader applies, and that writing the values as read changes
// nothing but the margin words. Any violation aborts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/RuntimeException.h"
#include "shell/Startup.h"
#include "window/MarginText.h"

namespace {
const std::string_view kNames[4] = {"margl", "margr", "margt", "margb"};

[[noreturn]] void Violated(const char* what, std::string_view input) {
    std::fprintf(stderr, "invariant violated: %s\ninput (%zu bytes): ", what, input.size());
    for (unsigned char c : input) std::fprintf(stderr, c >= 32 && c < 127 ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

void Check(bool holds, const char* what, std::string_view input) {
    if (!holds) Violated(what, input);
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One token as a Rich Text reader sees it: a control word (a backslash, letters, an optional
// minus and digits, and the one blank that may end it), the raw bytes that \binN announces, a
// control symbol (a backslash and one other byte), or any other single byte.
struct Token {
    size_t at = 0, end = 0;    // bytes in the text, the ending blank included
    std::string_view meaning;  // the bytes without the ending blank
    int margin = -1;           // 0 to 3 for \margl, \margr, \margt, \margb
    std::string_view value;    // a margin word's minus and digits
    bool applied = false;      // outside every destination group, where a reader applies it
    bool fontTable = false;    // a brace that opens a font table, "{\fonttbl\"
};

// A group is a destination when the first of its tokens that is not a blank, a line end or a
// margin word is \* or a destination word, and so is every group inside one. A \bin without a
// positive length makes the rest of its group one too.
std::vector<Token> Tokens(std::string_view text) {
    std::vector<Token> tokens;
    std::vector<bool> destination = {false};  // one entry for the top level and each open group
    bool groupStart = false;
    for (size_t at = 0; at < text.size();) {
        Token token;
        token.at = at;
        token.applied = !destination.back();
        size_t end = at + 1;
        size_t binary = 0;
        if (text[at] == '\\' && end < text.size() && IsLetter(text[end])) {
            while (end < text.size() && IsLetter(text[end])) ++end;
            const std::string_view name = text.substr(at + 1, end - at - 1);
            const size_t valueAt = end;
            if (end < text.size() && text[end] == '-') ++end;
            while (end < text.size() && IsDigit(text[end])) ++end;
            for (int word = 0; word < 4; ++word)
                if (name == kNames[word]) token.margin = word;
            token.value = text.substr(valueAt, end - valueAt);
            token.meaning = text.substr(at, end - at);
            if (end < text.size() && text[end] == ' ') ++end;
            if (name == "bin") {
                const size_t digits = token.value.find_first_not_of('0');
                const bool positive = !token.value.empty() && token.value[0] != '-' && digits != std::string_view::npos;
                binary = positive ? text.size() - end : 0;
                if (!positive) destination.back() = true;
                else if (token.value.size() - digits < 12)
                    binary = std::min<size_t>(binary, std::stoull(std::string(token.value.substr(digits))));
            }
            if (token.margin < 0) {
                if (groupStart && MarginText::IsDestination(name)) destination.back() = true;
                groupStart = false;
            }
        } else if (text[at] == '\\') {
            if (end < text.size() && text[end] == '*' && groupStart) destination.back() = true;
            else groupStart = false;
            if (end < text.size()) ++end;
            token.meaning = text.substr(at, end - at);
        } else {
            token.meaning = text.substr(at, 1);
            if (text[at] == '{') {
                token.fontTable = text.substr(at).starts_with("{\\fonttbl\\");
                destination.push_back(destination.back());
                groupStart = true;
            } else if (text[at] == '}') {
                if (destination.size() > 1) destination.pop_back();
                groupStart = false;
            } else if (text[at] != ' ' && text[at] != '\r' && text[at] != '\n') {
                groupStart = false;
            }
        }
        token.end = end;
        tokens.push_back(token);
        at = end;
        if (binary > 0) {
            Token data;
            data.at = at;
            data.end = at + binary;
            data.meaning = text.substr(at, binary);
            tokens.push_back(data);
            at += binary;
        }
    }
    return tokens;
}

std::string Written(const String& marked, size_t marker, const String& words, bool& refused) {
    std::string out;
    refused = false;
    try {
        MarginText::Write([&out](std::string_view bytes) { out.append(bytes); }, marked, marker, words);
    } catch (const OutOfBoundsException&) {
        refused = true;
    }
    return out;
}

void CheckUnmarked(const MarginText& marks, std::string_view input) {
    Check(marks.text.View() == input, "an unmarked text is the document itself", input);
    for (const auto& value : marks.values) Check(!value, "no value without a marker", input);
    bool refused = false;
    const std::string out = Written(marks.text, marks.marker, MarginText::Words("1", "2", "3", "4"), refused);
    Check(refused && out.empty(), "nothing is written without a marker", input);
}

void CheckMarkedInFrontOfTheFontTable(const MarginText& marks, std::string_view input, size_t fontTable) {
    Check(marks.marker == fontTable, "the marker stands in front of the first font table", input);
    for (const auto& value : marks.values) Check(!value, "no value without a margin word", input);
    const String words = MarginText::Words("1440", "1440", "1440", "1440");
    bool refused = false;
    const std::string out = Written(marks.text, marks.marker, words, refused);
    Check(!refused, "a marked text is written", input);
    const std::string expected = std::string(input.substr(0, fontTable)) + words.Bytes() +
                                 std::string(input.substr(fontTable));
    Check(out == expected, "the words go in front of the font table and nothing else changes", input);
    const std::vector<Token> outTokens = Tokens(out);
    size_t block = 0;
    while (block < outTokens.size() && outTokens[block].at < fontTable) ++block;
    Check(block + 4 <= outTokens.size() && outTokens[block].at == fontTable, "the words begin a token", input);
    for (int word = 0; word < 4; ++word)
        Check(outTokens[block + word].margin == word && outTokens[block + word].applied,
              "the four words stand where a reader applies them", input);
}

// The bytes that the tokens mean, and whether a reader applies them, one entry per token,
// leaving out the tokens picked.
std::vector<std::pair<std::string_view, bool>> Meanings(const std::vector<Token>& tokens,
                                                        const std::vector<bool>& leftOut) {
    std::vector<std::pair<std::string_view, bool>> meanings;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (!leftOut[i]) meanings.emplace_back(tokens[i].meaning, tokens[i].applied);
    return meanings;
}

void CheckMarkedAtTheWords(const MarginText& marks, std::string_view input, const std::vector<Token>& tokens,
                           const std::optional<size_t> (&first)[4]) {
    // The values are those of each word's first occurrence.
    std::string values[4];
    int markedWord = -1;
    for (int word = 0; word < 4; ++word) {
        Check(marks.values[word].has_value() == first[word].has_value(), "a value for each word found", input);
        if (!first[word]) {
            values[word] = "1440";
            continue;
        }
        Check(marks.values[word]->View() == tokens[*first[word]].value, "the value as it stands", input);
        values[word] = marks.values[word]->Bytes();
        if (markedWord < 0) markedWord = word;
    }
    Check(marks.marker != std::string::npos, "a marker where a word was found", input);

    const String words = MarginText::Words(values[0], values[1], values[2], values[3]);
    bool refused = false;
    const std::string out = Written(marks.text, marks.marker, words, refused);
    Check(!refused, "a marked text is written", input);
    const std::string_view marked = marks.text.View();
    // A blank may go behind the words, so that the last of them does not run into the text.
    const std::string head = std::string(marked.substr(0, marks.marker)) + words.Bytes();
    const std::string_view rest = marked.substr(marks.marker + MarginText::kMarker.Size());
    Check(out == head + std::string(rest) || out == head + " " + std::string(rest),
          "the writer changes nothing but the marker", input);

    // Bytes before the first word and after the last one stay as they were.
    size_t firstAt = input.size(), lastEnd = 0;
    for (const auto& index : first)
        if (index) firstAt = std::min(firstAt, tokens[*index].at), lastEnd = std::max(lastEnd, tokens[*index].end);
    Check(std::string_view(out).substr(0, firstAt) == input.substr(0, firstAt), "the head stays", input);
    Check(std::string_view(out).ends_with(input.substr(lastEnd)), "the tail stays", input);

    // Read as Rich Text, the output is the input without the words found, and with the four
    // words together where the first of them in their order stood.
    std::vector<bool> inputLeftOut(tokens.size(), false);
    for (const auto& index : first)
        if (index) inputLeftOut[*index] = true;
    size_t inputPlace = 0;
    for (size_t i = 0; i < *first[markedWord]; ++i) inputPlace += !inputLeftOut[i];

    const std::vector<Token> outTokens = Tokens(out);
    size_t block = 0;
    while (block < outTokens.size() && outTokens[block].at < marks.marker) ++block;
    Check(block + 4 <= outTokens.size() && outTokens[block].at == marks.marker, "the words begin a token", input);
    std::vector<bool> outLeftOut(outTokens.size(), false);
    for (int word = 0; word < 4; ++word) {
        const Token& token = outTokens[block + word];
        Check(token.margin == word && token.value == values[word], "the four words in their order", input);
        Check(token.applied, "the four words stand where a reader applies them", input);
        outLeftOut[block + word] = true;
    }
    Check(Meanings(tokens, inputLeftOut) == Meanings(outTokens, outLeftOut), "nothing else changes its meaning",
          input);
    Check(block == inputPlace, "the words stand where the first of them stood", input);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterClasses();
    LoadFrameworkPlugins();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const MarginText marks = MarginText::Mark(String(input));

    const std::vector<Token> tokens = Tokens(input);
    std::optional<size_t> first[4];
    size_t fontTable = std::string_view::npos;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].applied) continue;
        if (tokens[i].margin >= 0 && !first[tokens[i].margin]) first[tokens[i].margin] = i;
        if (tokens[i].fontTable && fontTable == std::string_view::npos) fontTable = tokens[i].at;
    }
    const bool anyWord = first[0] || first[1] || first[2] || first[3];

    if (anyWord) CheckMarkedAtTheWords(marks, input, tokens, first);
    else if (fontTable != std::string_view::npos) CheckMarkedInFrontOfTheFontTable(marks, input, fontTable);
    else CheckUnmarked(marks, input);
    return 0;
}
