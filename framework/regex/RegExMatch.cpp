#include "RegExMatch.h"

#include "runtime/Plugins.h"

// A destructor must not throw: without the plug-in there is nothing that could free the state.
RegExMatch::~RegExMatch() {
    try {
        CallPluginEntrypoint<void, RegExMatch&>("RegExMatch.__exit", *this);
    } catch (const RuntimeException&) {
    }
}

String RegExMatch::SubExpressionString(int32_t matchNumber) const {
    return CallPluginEntrypoint<String, const RegExMatch&, int32_t>(
        "RegExMatch.SubExpressionString(MatchNumber as Integer) as String", *this, matchNumber);
}

int64_t RegExMatch::SubExpressionStartB(int32_t matchNumber) const {
    return CallPluginEntrypoint<int64_t, const RegExMatch&, int32_t>(
        "RegExMatch.SubExpressionStartB(MatchNumber as Integer) as Integer", *this, matchNumber);
}
