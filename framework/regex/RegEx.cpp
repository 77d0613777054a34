#include "RegEx.h"

#include "RegExMatch.h"
#include "runtime/Plugins.h"

RegEx::RegEx() { CallPluginEntrypoint<void, RegEx&>("RegEx.__init", *this); }

// A destructor must not throw: without the plug-in there is nothing that could free the state.
RegEx::~RegEx() {
    try {
        CallPluginEntrypoint<void, RegEx&>("RegEx.__exit", *this);
    } catch (const RuntimeException&) {
    }
}

String RegEx::SearchPattern() const {
    return CallPluginEntrypoint<String, const RegEx&>("RegEx.SearchPattern.Get", *this);
}

void RegEx::SetSearchPattern(const String& pattern) {
    CallPluginEntrypoint<void, RegEx&, const String&>("RegEx.SearchPattern.Set", *this, pattern);
}

String RegEx::ReplacementPattern() const {
    return CallPluginEntrypoint<String, const RegEx&>("RegEx.ReplacementPattern.Get", *this);
}

void RegEx::SetReplacementPattern(const String& text) {
    CallPluginEntrypoint<void, RegEx&, const String&>("RegEx.ReplacementPattern.Set", *this, text);
}

Ref<RegExMatch> RegEx::Search(const String& target) {
    return CallPluginEntrypoint<Ref<RegExMatch>, RegEx&, const String&>(
        "RegEx.Search(TargetString as String) as RegExMatch", *this, target);
}
