// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace sorabune {

// Debug lines from code that sees no Qt, under Qt's logging category of the
// same name, so that QT_LOGGING_RULES turns them on with the rest of their
// service's lines (sorabune.media, sorabune.poweroff, sorabune.bell).
class LogCategory {
public:
    explicit constexpr LogCategory(const char *name)
        : m_name(name)
    {
    }

    void debug(std::string_view text) const;

private:
    const char *m_name;
};

} // namespace sorabune
