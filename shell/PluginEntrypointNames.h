#pragma once

#include <array>
#include <string_view>

// The members of the two plug-ins' classes, in the order of the entry table's slots.
extern const std::array<std::string_view, 89> kPluginEntrypointNames;
