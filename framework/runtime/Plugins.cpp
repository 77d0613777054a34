#include "Plugins.h"

#include <algorithm>

#include "Trace.h"

namespace {
struct PluginState {
    std::vector<const Plugin*> loaded;
    std::vector<PluginEntrypoint> table;
};

PluginState& State() {
    static PluginState state;
    return state;
}
}  // namespace

void RuntimeLoadPlugin(std::string_view name) {
    RuntimeTrace("RuntimeLoadPlugin " + std::string(name));
    if (const Plugin* plugin = FindBuiltInPlugin(name)) State().loaded.push_back(plugin);
}

std::vector<PluginEntrypoint>& RuntimeAllocatePluginEntrypointsTable(int slots) {
    RuntimeTrace("RuntimeAllocatePluginEntrypointsTable " + std::to_string(slots));
    State().table.assign(static_cast<size_t>(slots), PluginEntrypoint{});
    return State().table;
}

PluginEntrypoint RuntimeLookupPluginEntrypoint(std::string_view name) {
    RuntimeTrace("RuntimeLookupPluginEntrypoint " + std::string(name));
    for (const Plugin* plugin : State().loaded)
        for (const auto& [published, code] : plugin->entrypoints)
            if (published == name) return {std::string(name), code};
    return {std::string(name), {}};
}

void RuntimeClearPlugins() { State() = PluginState{}; }

const std::any& RuntimePluginEntrypointCode(std::string_view name) {
    const auto& table = State().table;
    auto slot = std::find_if(table.begin(), table.end(),
                             [&](const PluginEntrypoint& e) { return e.name == name; });
    if (slot == table.end() || !slot->code.has_value())
        throw UnsupportedOperationException("the plug-in member " + std::string(name) + " is not loaded");
    return slot->code;
}
