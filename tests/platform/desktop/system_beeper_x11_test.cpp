// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/system_beeper.h"

#include "support/helper_process.h"
#include "support/nowhere_environment.h"
#include "support/private_pulse.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>

namespace sorabune {
namespace {

TEST(SystemBeeperX11Test, UnderXwaylandTheThemeBellRingsInstead)
{
    testing::PrivatePulse pulse;
    ASSERT_TRUE(pulse.running()) << pulse.error();
    pulse.exportClientEnvironment();
    const QTemporaryDir folder;
    const std::filesystem::path recording = folder.filePath(QStringLiteral("bell.raw")).toStdString();
    ASSERT_TRUE(pulse.startRecording(recording));

    qputenv("WAYLAND_DISPLAY", "wayland-sorabune-test");
    std::optional<SystemBeeper> beeper(std::in_place);
    qunsetenv("WAYLAND_DISPLAY");
    beeper->beep();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !testing::soundsIn(recording).empty(); }, 20000))
        << "the theme bell did not sound";
    QTest::qWait(300); // a second bell would start this soon
    ASSERT_TRUE(pulse.stopRecording());
    EXPECT_EQ(testing::soundsIn(recording).size(), 1u);
    beeper.reset(); // the theme bell's thread ends with it
}

} // namespace
} // namespace sorabune

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // No bus, and no sound server but the one a test starts.
    const sorabune::testing::NowhereEnvironment nowhere;
    qunsetenv("WAYLAND_DISPLAY");

    const sorabune::testing::PrivateXvfb xvfb;
    if (!xvfb.running()) {
        std::fprintf(stderr, "no private X server: %s\n", xvfb.error().c_str());
        return 1;
    }
    xvfb.exportClientEnvironment();
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
