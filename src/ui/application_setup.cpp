// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_setup.h"

#include "ui/display_choice.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace sorabune {

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Sorabune"));
    QApplication::setApplicationVersion(QStringLiteral(SORABUNE_VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral(SORABUNE_APP_ID));
    // The layout is fixed in pixels and its captions are measured against
    // Fusion's margins; a desktop style with wider ones would clip them. A
    // style the desktop names in the environment would win over this one.
    qunsetenv("QT_STYLE_OVERRIDE");
    QApplication::setStyle(QStringLiteral("Fusion"));
}

namespace {

// What the start guard holds back, and the handler it replaced.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage> g_heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        g_heldMessages.push_back({type, context.category ? context.category : "", text});
        return;
    }
    // Qt gives up on its platform plugin with a fatal message, then aborts.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const std::string line = platform.startsWith("wayland")
        ? noDisplay("Qt's Wayland platform plugin is missing or cannot connect; it comes with qt6-wayland")
        : noDisplay("Qt cannot start its platform plugin \"" + platform.toStdString() + "\"");
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

PlatformStartGuard::PlatformStartGuard()
{
    g_previousHandler = qInstallMessageHandler(holdMessage);
}

PlatformStartGuard::~PlatformStartGuard()
{
    qInstallMessageHandler(g_previousHandler);
    // Passed to whichever handler is in place again.
    for (const HeldMessage &message : std::exchange(g_heldMessages, {})) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        qt_message_output(message.type, context, message.text);
    }
}

} // namespace sorabune
