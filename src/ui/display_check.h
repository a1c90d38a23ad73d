#pragma once

#include <string>

namespace sorabune {

// Whether Qt will find a display to open. Qt aborts with a core dump when its
// platform plugin can't connect, so this runs before the application object
// exists. Empty when a display is there; otherwise one line saying what is
// missing.
std::string MissingDisplay();

} // namespace sorabune
