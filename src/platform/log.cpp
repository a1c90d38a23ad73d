// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/log.h"

#include <QLoggingCategory>

namespace sorabune {

void logDebug(const char *category, std::string_view text)
{
    // Made for the line: it takes the rules in force, and such lines are few.
    const QLoggingCategory lines(category, QtWarningMsg);
    qCDebug(lines, "%.*s", static_cast<int>(text.size()), text.data());
}

} // namespace sorabune
