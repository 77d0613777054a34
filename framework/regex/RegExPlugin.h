#pragma once

#include "runtime/Plugins.h"

// The regular-expression plug-in, "RegEx.plugin:0": the members of RegEx and RegExMatch, on
// PCRE2 (8-bit code units, compiled to machine code where the system allows).
Plugin RegExPlugin();
