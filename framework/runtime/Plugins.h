#pragma once

#include <any>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "RuntimeException.h"

// A plug-in publishes its members' code under their full names, each a plain function pointer
// kept type-erased.
struct Plugin {
    std::string name;
    std::vector<std::pair<std::string, std::any>> entrypoints;
};

// The plug-ins built into the framework, found by the name the program loads them with.
const Plugin* FindBuiltInPlugin(std::string_view name);

struct PluginEntrypoint {
    std::string name;
    std::any code;  // empty when no loaded plug-in publishes the name
};

void RuntimeLoadPlugin(std::string_view name);
std::vector<PluginEntrypoint>& RuntimeAllocatePluginEntrypointsTable(int slots);
PluginEntrypoint RuntimeLookupPluginEntrypoint(std::string_view name);
void RuntimeClearPlugins();

// The code in the entry table's slot for a member's name. Raises UnsupportedOperationException
// when the slot is empty or no slot carries the name.
const std::any& RuntimePluginEntrypointCode(std::string_view name);

// A member of a plug-in class calls through its slot.
template <class R, class... A>
R CallPluginEntrypoint(std::string_view name, std::type_identity_t<A>... args) {
    const auto* code = std::any_cast<R (*)(A...)>(&RuntimePluginEntrypointCode(name));
    if (!code) throw IllegalCastException("plug-in member " + std::string(name) + " has another signature");
    return (*code)(std::forward<A>(args)...);
}
