#pragma once

#include <cstdint>

#include "runtime/Object.h"
#include "runtime/String.h"

struct RegExMatchState;

// One match of a RegEx in a target: group 0 is the whole match, groups 1 and on the pattern's
// parenthesised groups. Its members call the regular-expression plug-in through the entry table.
class RegExMatch : public Object {
public:
    RegExMatch() = default;
    ~RegExMatch() override;  // "RegExMatch.__exit"
    RegExMatch(const RegExMatch&) = delete;
    RegExMatch& operator=(const RegExMatch&) = delete;

    // The bytes of a group; empty for a group that took no part in the match.
    // OutOfBoundsException for a group the pattern does not have.
    String SubExpressionString(int32_t matchNumber) const;
    // The byte offset in the target where a group begins; -1 for a group that took no part.
    int64_t SubExpressionStartB(int32_t matchNumber) const;

    // The plug-in's own state for this match, made by the search and freed by its __exit.
    RegExMatchState* state = nullptr;
};
