// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_setup.h"

#include <QApplication>
#include <QString>

namespace sorabune {

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Sorabune"));
    QApplication::setApplicationVersion(QStringLiteral(SORABUNE_VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral(SORABUNE_APP_ID));
    // The layout is fixed in pixels and its captions are measured against
    // Fusion's margins; a desktop style with wider ones would clip them.
    QApplication::setStyle(QStringLiteral("Fusion"));
}

} // namespace sorabune
