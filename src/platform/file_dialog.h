// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sorabune {

// The file-open dialog: show it, then read the chosen name (empty when nothing
// was chosen). Either call may throw; the caller decides what an error means.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual void showOpen() = 0;
    virtual std::string fileName() const = 0;
};

} // namespace sorabune
