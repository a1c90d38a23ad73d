// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/serial_worker.h"

#include <QLoggingCategory>

#include <memory>
#include <string>

namespace sorabune {

// sorabune.bell: the bells and why one is silent.
Q_DECLARE_LOGGING_CATEGORY(lcBell)

struct BellState;

// The desktop sound theme's "bell" event through libcanberra, for sessions whose
// platform bell makes no sound. Bells play on the worker, one after another:
// copies started together overlap into what sounds like one bell, and
// libcanberra blocks while it reaches the sound server (against one that accepts
// but never answers: measured still waiting after 60 s).
class ThemeBell {
public:
    ThemeBell(std::string applicationName, std::string applicationId);
    ~ThemeBell();
    ThemeBell(const ThemeBell &) = delete;
    ThemeBell &operator=(const ThemeBell &) = delete;

    // Queues one bell and returns at once. The first bell opens libcanberra.
    void ring();

private:
    // Shared with the bells' jobs, which may outlive this object (see the destructor).
    std::shared_ptr<BellState> m_state;
    SerialWorker m_worker;
    bool m_rung = false;
};

} // namespace sorabune
