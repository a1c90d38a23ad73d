// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/log.h"

#include <QLoggingCategory>

namespace sorabune {

void LogCategory::debug(std::string_view text) const
{
    // Made for the line: it takes the rules in force, and lines are few.
    const QLoggingCategory category(m_name, QtWarningMsg);
    qCDebug(category, "%.*s", static_cast<int>(text.size()), text.data());
}

} // namespace sorabune
