#pragma once

#include "runtime/Plugins.h"

// The appearance-controls plug-in, "AppearancePak.plugin:0": the bevel button's members.
Plugin AppearancePlugin();
