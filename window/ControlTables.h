#pragma once

#include <string>
#include <string_view>

// The design-time property table of one of the window's controls, by the control's name.
// Raises UnsupportedOperationException for a name that has no table.
const std::string& ControlTable(std::string_view controlName);

// The maker's web page: the web button opens it, the author label carries it as its help tag.
extern const char* const kMakersWebPage;
