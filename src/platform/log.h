// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace sorabune {

// A debug line from code that sees no Qt, under Qt's logging category of that
// name, so that QT_LOGGING_RULES turns it on with the rest of its service's
// lines (sorabune.media, sorabune.poweroff, sorabune.bell).
void logDebug(const char *category, std::string_view text);

} // namespace sorabune
