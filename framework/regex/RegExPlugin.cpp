#include "RegExPlugin.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

#include "RegEx.h"
#include "RegExMatch.h"

struct RegExState {
    String searchPattern;
    String replacementPattern;
    pcre2_code* code = nullptr;
};

struct RegExMatchState {
    String target;  // the match's offsets point into it
    pcre2_match_data* data = nullptr;
};

namespace {
std::string ErrorText(int error) {
    PCRE2_UCHAR text[256];
    pcre2_get_error_message(error, text, sizeof text);
    return reinterpret_cast<const char*>(text);
}

void Init(RegEx& regex) { regex.state = new RegExState; }

void Exit(RegEx& regex) {
    if (!regex.state) return;
    pcre2_code_free(regex.state->code);
    delete regex.state;
    regex.state = nullptr;
}

String GetSearchPattern(const RegEx& regex) { return regex.state->searchPattern; }

// The pattern compiles once, when it is set, so that a search costs only the matching.
void SetSearchPattern(RegEx& regex, const String& pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.View().data()), pattern.Size(), 0,
                                     &error, &offset, nullptr);
    if (!code)
        throw RegExException("the search pattern " + pattern.Bytes() + " does not compile: " + ErrorText(error) +
                             ", at byte " + std::to_string(offset));
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // without machine code the interpreter matches
    pcre2_code_free(regex.state->code);
    regex.state->code = code;
    regex.state->searchPattern = pattern;
}

String GetReplacementPattern(const RegEx& regex) { return regex.state->replacementPattern; }
void SetReplacementPattern(RegEx& regex, const String& text) { regex.state->replacementPattern = text; }

Ref<RegExMatch> Search(RegEx& regex, const String& target) {
    pcre2_code* code = regex.state->code;
    if (!code) throw RegExException("no search pattern is set");
    std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data*)> data(
        pcre2_match_data_create_from_pattern(code, nullptr), &pcre2_match_data_free);
    if (!data) throw RegExException("no memory for a match");
    const int result = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(target.View().data()), target.Size(), 0, 0,
                                   data.get(), nullptr);
    if (result == PCRE2_ERROR_NOMATCH) return nullptr;
    if (result < 0) throw RegExException("the search failed: " + ErrorText(result));
    auto match = std::make_shared<RegExMatch>();
    match->state = new RegExMatchState{target, data.release()};
    return match;
}

void ExitMatch(RegExMatch& match) {
    if (!match.state) return;
    pcre2_match_data_free(match.state->data);
    delete match.state;
    match.state = nullptr;
}

// The offsets of a group, or nothing for a group that took no part in the match.
std::pair<PCRE2_SIZE, PCRE2_SIZE> Group(const RegExMatch& match, int32_t number) {
    const uint32_t count = pcre2_get_ovector_count(match.state->data);
    if (number < 0 || static_cast<uint32_t>(number) >= count)
        throw OutOfBoundsException("the match has no group " + std::to_string(number));
    const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(match.state->data);
    return {offsets[2 * number], offsets[2 * number + 1]};
}

String SubExpressionString(const RegExMatch& match, int32_t number) {
    const auto [start, end] = Group(match, number);
    if (start == PCRE2_UNSET) return String();
    return String(match.state->target.View().substr(start, end - start));
}

int64_t SubExpressionStartB(const RegExMatch& match, int32_t number) {
    const auto [start, end] = Group(match, number);
    return start == PCRE2_UNSET ? -1 : static_cast<int64_t>(start);
}

template <class F>
std::pair<std::string, std::any> Entry(const char* name, F* code) {
    return {name, std::any(code)};
}
}  // namespace

Plugin RegExPlugin() {
    return Plugin{"RegEx.plugin:0",
                  {
                      Entry("RegEx.__init", &Init),
                      Entry("RegEx.__exit", &Exit),
                      Entry("RegEx.SearchPattern.Get", &GetSearchPattern),
                      Entry("RegEx.SearchPattern.Set", &SetSearchPattern),
                      Entry("RegEx.ReplacementPattern.Get", &GetReplacementPattern),
                      Entry("RegEx.ReplacementPattern.Set", &SetReplacementPattern),
                      Entry("RegEx.Search(TargetString as String) as RegExMatch", &Search),
                      Entry("RegExMatch.__exit", &ExitMatch),
                      Entry("RegExMatch.SubExpressionString(MatchNumber as Integer) as String", &SubExpressionString),
                      Entry("RegExMatch.SubExpressionStartB(MatchNumber as Integer) as Integer", &SubExpressionStartB),
                  }};
}
