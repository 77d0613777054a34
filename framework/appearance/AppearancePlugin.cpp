#include "AppearancePlugin.h"

Plugin AppearancePlugin() {
    // The bevel button's members are published here as the control is built.
    return Plugin{"AppearancePak.plugin:0", {}};
}
