// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/logind_power_switch.h"

#include "platform/log.h"

#include "support/captured_warnings.h"
#include "support/listening_socket.h"
#include "support/scratch_directory.h"

#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <unistd.h>

namespace sorabune {
namespace {

using namespace std::chrono_literals;

TEST(LogindWithoutBusTest, EachRequestFailsLaterWithoutBlocking)
{
    LogindPowerSwitch powerSwitch;
    int failures = 0;
    powerSwitch.setFailureHandler([&] { ++failures; });
    QElapsedTimer clock;
    clock.start();
    powerSwitch.powerOff();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures == 1; }, 10000));
    powerSwitch.powerOff();
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures == 2; }, 10000));
}

struct Bus {
    const char *name;
    bool listening; // a socket that takes connections and never answers
    std::string (*address)(const testing::ScratchDirectory &folder);
    const char *said;
};

class LogindWithoutBusCases : public ::testing::TestWithParam<Bus> { };

// Each fails once, with what was wrong said, and neither the request nor the
// wait for a silent bus holds up the caller.
TEST_P(LogindWithoutBusCases, FailsOnceAndSaysWhy)
{
    const Bus &bus = GetParam();
    const testing::ScratchDirectory folder;
    const std::string address = bus.address(folder);
    std::optional<testing::ListeningSocket> socket;
    if (bus.listening) {
        const std::string name = address.substr(address.find('=') + 1);
        socket.emplace(address.starts_with("unix:abstract=") ? '@' + name : name);
        ASSERT_TRUE(socket->listening()) << address;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QByteArray::fromStdString(address));
    const testing::CapturedWarnings warnings(kPowerOffLog);
    constexpr auto timeout = 500ms;
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    {
        LogindPowerSwitch powerSwitch(timeout);
        powerSwitch.setFailureHandler([&] { ++failures; });
        powerSwitch.powerOff();
        EXPECT_LT(clock.elapsed(), 1000) << "powerOff() waited for the bus";
        EXPECT_TRUE(QTest::qWaitFor([&] { return failures > 0; }, 10000));
        if (bus.listening) {
            EXPECT_GE(clock.elapsed(), timeout.count() * 9 / 10) << "gave up before the limit";
        }
        QTest::qWait(100);
    }
    EXPECT_EQ(failures, 1);
    const QStringList lines = warnings.lines();
    ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.first().contains(QLatin1String(bus.said))) << lines.first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Buses, LogindWithoutBusCases,
    ::testing::Values(
        Bus{"SilentPath", true,
            [](const testing::ScratchDirectory &folder) { return "unix:path=" + (folder / "silent-bus").string(); },
            "does not answer"},
        Bus{"SilentAbstract", true,
            [](const testing::ScratchDirectory &) {
                return "unix:abstract=sorabune-silent-" + std::to_string(::getpid());
            },
            "does not answer"},
        Bus{"NobodyListens", false,
            [](const testing::ScratchDirectory &folder) { return "unix:path=" + (folder / "no-bus").string(); },
            "no system bus"},
        Bus{"PathTooLong", false,
            [](const testing::ScratchDirectory &) { return "unix:path=/" + std::string(200, 'x'); }, "no system bus"},
        Bus{"NotAnAddress", false, [](const testing::ScratchDirectory &) { return std::string("nonsense"); },
            "no system bus"}),
    [](const ::testing::TestParamInfo<Bus> &info) { return std::string(info.param.name); });

} // namespace
} // namespace sorabune
