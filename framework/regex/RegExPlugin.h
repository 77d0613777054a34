#pragma once

#include "runtime/Plugins.h"

// The regular-expression plug-in, "RegEx.plugin:0": RegEx, RegExOptions and RegExMatch.
Plugin RegExPlugin();
