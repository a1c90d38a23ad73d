// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace sorabune::testing {

// The warnings of one logging category, from whichever thread, while it
// lives; they are kept from the test's output. One at a time: a process has
// one message handler.
class CapturedWarnings {
public:
    explicit CapturedWarnings(const char *category)
    {
        State &state = shared();
        const QMutexLocker lock(&state.mutex);
        state.category = category;
        state.lines.clear();
        m_previous = qInstallMessageHandler(keep);
    }
    ~CapturedWarnings() { qInstallMessageHandler(m_previous); }
    CapturedWarnings(const CapturedWarnings &) = delete;
    CapturedWarnings &operator=(const CapturedWarnings &) = delete;

    QStringList lines() const
    {
        State &state = shared();
        const QMutexLocker lock(&state.mutex);
        return state.lines;
    }

private:
    struct State {
        QMutex mutex;
        const char *category = "";
        QStringList lines;
    };
    static State &shared()
    {
        static State state;
        return state;
    }
    static void keep(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        State &state = shared();
        const QMutexLocker lock(&state.mutex);
        if (type == QtWarningMsg && qstrcmp(context.category, state.category) == 0)
            state.lines << text;
    }

    QtMessageHandler m_previous = nullptr;
};

} // namespace sorabune::testing
