#pragma once

#include "runtime/Object.h"
#include "runtime/String.h"

class RegExMatch;
struct RegExState;

// A Perl-compatible regular expression over bytes: a text is searched as the bytes it holds,
// letter case counts, and nothing is decoded. Its members call the regular-expression plug-in
// through the entry table, which start-up fills.
class RegEx : public Object {
public:
    RegEx();            // "RegEx.__init"
    ~RegEx() override;  // "RegEx.__exit"
    RegEx(const RegEx&) = delete;
    RegEx& operator=(const RegEx&) = delete;

    String SearchPattern() const;
    void SetSearchPattern(const String& pattern);  // RegExException when it does not compile
    // Kept for the caller; Search does not use it.
    String ReplacementPattern() const;
    void SetReplacementPattern(const String& text);

    // The first match of the search pattern in the whole target, or nil.
    Ref<RegExMatch> Search(const String& target);

    // The plug-in's own state for this object, made by its __init and freed by its __exit.
    RegExState* state = nullptr;
};
