// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/system_beeper.h"

#include "platform/log.h"

#include "support/captured_warnings.h"
#include "support/listening_socket.h"
#include "support/nowhere_environment.h"
#include "support/private_pulse.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <vector>

namespace sorabune {
namespace {

using testing::PrivatePulse;
using testing::soundsIn;

// Offscreen, like Wayland, has no bell of its own: the theme's bell must sound.
TEST(SystemBeeperTest, WithoutAPlatformBellTheThemeBellSoundsOncePerBeep)
{
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.running()) << pulse.error();
    pulse.exportClientEnvironment();
    const QTemporaryDir folder;
    const std::filesystem::path recording = folder.filePath(QStringLiteral("bell.raw")).toStdString();
    ASSERT_TRUE(pulse.startRecording(recording));

    SystemBeeper beeper;
    QElapsedTimer clock;
    clock.start();
    for (int count = 1; count <= 3; ++count)
        beeper.beep();
    EXPECT_LT(clock.elapsed(), 1000) << "beep() waited for the sound";
    // Three bells one after another, each heard apart: started together they
    // would overlap into what sounds like one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return soundsIn(recording).size() >= 3; }, 20000))
        << soundsIn(recording).size() << " bells heard";
    QTest::qWait(500); // a fourth would start this soon
    ASSERT_TRUE(pulse.stopRecording());
    const std::vector<testing::Burst> bells = soundsIn(recording);
    ASSERT_EQ(bells.size(), 3u);
    for (const testing::Burst &bell : bells) {
        std::cout << "a bell of " << (bell.end - bell.begin) * 1000 / testing::kRecordingRate << " ms at "
                  << bell.begin * 1000 / testing::kRecordingRate << " ms\n";
        // One theme bell lasts 0.14 s: a longer sound is bells on top of each other.
        EXPECT_LT(bell.end - bell.begin, std::size_t{testing::kRecordingRate / 4});
    }
}

TEST(SystemBeeperTest, WithoutASoundServerBeepsReturnAtOnceAndSaySoOnce)
{
    const QTemporaryDir nowhere;
    qputenv("PULSE_SERVER", "unix:" + nowhere.filePath(QStringLiteral("missing")).toUtf8());
    const testing::CapturedWarnings warnings(kBellLog);
    const auto silent = [&] { return warnings.lines().filter(QStringLiteral("silent")).size(); };
    QElapsedTimer clock;
    clock.start();
    {
        SystemBeeper beeper;
        for (int count = 1; count <= 3; ++count)
            beeper.beep();
        EXPECT_LT(clock.elapsed(), 1000);
        // All three tried, each failing at once.
        EXPECT_TRUE(QTest::qWaitFor([&] { return silent() > 0; }, 5000));
        QTest::qWait(500);
    }
    EXPECT_LT(clock.elapsed(), 6000) << "closing waited for the sound server";
    EXPECT_EQ(silent(), 1) << "three silent beeps are one fault";
}

// Last: its bell thread outlives it, blocked on the hung server, and may still warn.
TEST(SystemBeeperTest, WithAHungSoundServerBeepAndClosingReturn)
{
    const QTemporaryDir folder;
    const QByteArray path = folder.filePath(QStringLiteral("hung.sock")).toUtf8();
    // A sound server that takes connections and never answers: libpulse then
    // waits inside libcanberra for good.
    const testing::ListeningSocket server(path.toStdString());
    ASSERT_TRUE(server.listening());
    qputenv("PULSE_SERVER", "unix:" + path);

    QElapsedTimer clock;
    clock.start();
    {
        SystemBeeper beeper;
        beeper.beep();
        EXPECT_LT(clock.elapsed(), 1000);
        QTest::qWait(200); // the thread is now inside libcanberra
    }
    const qint64 closed = clock.elapsed();
    EXPECT_LT(closed, 5000) << "closing waited for the sound server";
    std::cout << "with a hung sound server, closing took " << closed - 200 << " ms\n";
}

} // namespace
} // namespace sorabune

int main(int argc, char **argv)
{
    // Only the private sound server; never a sound card or the machine's buses.
    const sorabune::testing::NowhereEnvironment nowhere;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
