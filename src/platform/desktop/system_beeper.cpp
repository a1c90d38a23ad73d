// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/system_beeper.h"

#include <QApplication>

namespace sorabune {

namespace {

bool platformBellSounds()
{
    // An X client in a Wayland session talks to Xwayland, which (22.1 in Debian 12)
    // has no way to hand the bell on to the compositor.
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

SystemBeeper::SystemBeeper()
    : m_platformBellSounds(platformBellSounds())
    , m_themeBell(QCoreApplication::applicationName().toStdString(), QGuiApplication::desktopFileName().toStdString())
{
}

void SystemBeeper::beep()
{
    if (m_platformBellSounds) {
        qCDebug(lcBell, "a beep: the X server's bell");
        QApplication::beep();
    } else {
        qCDebug(lcBell, "a beep: the sound theme's bell");
        m_themeBell.ring();
    }
}

} // namespace sorabune
