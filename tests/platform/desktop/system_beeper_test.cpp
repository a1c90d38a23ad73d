#include "platform/desktop/system_beeper.h"

#include "support/private_pulse.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

namespace sorabune {
namespace {

using testing::PrivatePulse;
using testing::readRecording;

constexpr int kRate = 44100; // of the private server's recordings

// Seconds from the first sound recorded to the last, or -1 before any.
double soundingSeconds(const std::filesystem::path &recording)
{
    const std::vector<std::int16_t> samples = readRecording(recording);
    constexpr int kLoud = 1000; // the bell peaks near 10000; the null sink is otherwise all zeros
    const auto loud = [](std::int16_t sample) { return std::abs(sample) > kLoud; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return -1;
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    return static_cast<double>(last - first) / kRate;
}

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
    // One theme bell lasts 0.14 s; three started together would overlap into one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return soundingSeconds(recording) >= 0.3; }, 20000))
        << "sounded for " << soundingSeconds(recording) << " s";
    QTest::qWait(300);
    pulse.stopRecording();
    std::cout << "three beeps sounded for " << soundingSeconds(recording) << " s\n";
}

// A sound server that takes connections and never answers: libpulse then waits
// inside libcanberra for good.
class HungSoundServer {
public:
    explicit HungSoundServer(const QByteArray &path)
        : m_socket(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
        m_listening = ::bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0
            && ::listen(m_socket, 8) == 0;
    }
    ~HungSoundServer() { ::close(m_socket); }
    HungSoundServer(const HungSoundServer &) = delete;
    HungSoundServer &operator=(const HungSoundServer &) = delete;

    bool listening() const { return m_listening; }

private:
    int m_socket;
    bool m_listening = false;
};

TEST(SystemBeeperTest, WithAHungSoundServerBeepAndClosingReturn)
{
    const QTemporaryDir folder;
    const QByteArray path = folder.filePath(QStringLiteral("hung.sock")).toUtf8();
    const HungSoundServer server(path);
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

TEST(SystemBeeperTest, WithoutASoundServerBeepsReturnAtOnce)
{
    const QTemporaryDir nowhere;
    qputenv("PULSE_SERVER", "unix:" + nowhere.filePath(QStringLiteral("missing")).toUtf8());
    QElapsedTimer clock;
    clock.start();
    {
        SystemBeeper beeper;
        for (int count = 1; count <= 3; ++count)
            beeper.beep();
        EXPECT_LT(clock.elapsed(), 1000);
    }
    EXPECT_LT(clock.elapsed(), 5000) << "closing waited for the sound server";
}

} // namespace
} // namespace sorabune

int main(int argc, char **argv)
{
    // Only the private sound server; never a sound card or the machine's buses.
    qputenv("CANBERRA_DRIVER", "pulse");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/sorabune-test");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sorabune-test");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
