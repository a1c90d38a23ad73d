// SPDX-License-Identifier: GPL-3.0-or-later
#include "bare_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Sorabune's style: its layout is measured against Fusion's margins.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    sorabune::bench::BareWindow window;
    window.show();
    return app.exec();
}
