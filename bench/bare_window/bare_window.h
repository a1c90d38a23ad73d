// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace sorabune::bench {

// The reference the benchmarks compare Sorabune with: the same widgets, geometry
// and font, and no logic. Its start button only starts a 1 s timer that rewrites
// the display, the least a countdown can do while it counts; the first tick also
// rings the bell, as a zero-length countdown would.
class BareWindow final : public QWidget {
public:
    BareWindow();

private:
    void tick();

    QLabel *m_display = nullptr;
    QTimer m_timer;
    int m_ticks = 0;
};

} // namespace sorabune::bench
