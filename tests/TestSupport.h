#pragma once

#include <string>
#include <vector>

#include "runtime/Desktop.h"
#include "runtime/RecordingDesktop.h"

// What the program did on the desktop since the test began.
inline RecordingDesktop& Recorded() { return dynamic_cast<RecordingDesktop&>(CurrentDesktop()); }
