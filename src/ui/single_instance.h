// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace sorabune {

// The one running copy holds a lock file in the user's runtime folder for its
// whole life. The lock of a copy that was killed is stale and taken over.
class SingleInstance {
public:
    SingleInstance();

    // True when another copy holds the lock: this one must end.
    bool previousInstance() const { return m_previous; }

    // Where the lock lives: the runtime folder, or else a folder of our own in the
    // temporary folder; empty when neither is ours to use.
    static QString lockFolder();

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_previous = false;
};

} // namespace sorabune
