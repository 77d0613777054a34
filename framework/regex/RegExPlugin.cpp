#include "RegExPlugin.h"

Plugin RegExPlugin() {
    // The regular-expression members are published here as they are built.
    return Plugin{"RegEx.plugin:0", {}};
}
