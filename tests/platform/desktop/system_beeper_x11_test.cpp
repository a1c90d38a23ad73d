#include "platform/desktop/system_beeper.h"

#include "x11_bell_listener.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace sorabune {
namespace {

using testing::X11BellListener;

TEST(SystemBeeperX11Test, EachBeepRingsTheXBellOnce)
{
    X11BellListener listener;
    ASSERT_TRUE(listener.connected());
    SystemBeeper beeper;
    for (int count = 1; count <= 3; ++count)
        beeper.beep();
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.bells() >= 3; }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(listener.bells(), 3);
}

TEST(SystemBeeperX11Test, UnderXwaylandTheThemeBellRingsInstead)
{
    X11BellListener listener;
    ASSERT_TRUE(listener.connected());
    qputenv("WAYLAND_DISPLAY", "wayland-sorabune-test");
    std::optional<SystemBeeper> beeper(std::in_place);
    qunsetenv("WAYLAND_DISPLAY");
    beeper->beep();
    QTest::qWait(300);
    EXPECT_EQ(listener.bells(), 0);
    beeper.reset(); // the theme bell's thread ends with it
}

} // namespace
} // namespace sorabune

namespace {

// Starts Xvfb on a display number of its own choosing; empty when it fails.
QString startXvfb(QProcess &xvfb)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return {};
    xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QString::number(pipe[1]),
        QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
        QStringLiteral("320x240x24")});
    ::close(pipe[1]);
    std::string number;
    char digit = 0;
    while (::read(pipe[0], &digit, 1) == 1 && digit != '\n')
        number += digit;
    ::close(pipe[0]);
    return number.empty() ? QString() : QStringLiteral(":") + QString::fromStdString(number);
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // The theme bell, where a test reaches it, finds no sound server; no bus either.
    const QTemporaryDir nowhere;
    const QByteArray missing = nowhere.filePath(QStringLiteral("missing")).toUtf8();
    qputenv("PULSE_SERVER", "unix:" + missing);
    qputenv("CANBERRA_DRIVER", "pulse");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + missing);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + missing);
    qunsetenv("WAYLAND_DISPLAY");

    QProcess xvfb;
    const QString display = startXvfb(xvfb);
    if (display.isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", display.toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
    }
    xvfb.terminate();
    xvfb.waitForFinished(10000);
    return result;
}
