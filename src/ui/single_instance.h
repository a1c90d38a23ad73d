// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace sorabune {

// The one running copy holds a lock on a file in the user's runtime folder for
// its whole life. The kernel lets the lock go with the process, however that
// ends: a copy that was killed leaves nothing behind that keeps the next out.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when another copy holds the lock: this one must end.
    bool previousInstance() const { return m_previous; }

    // Where the lock lives: the runtime folder, or else a folder of our own in the
    // temporary folder; empty when neither is ours to use.
    static QString lockFolder();

private:
    int m_fd = -1;
    bool m_previous = false;
};

} // namespace sorabune
