// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/logind_power_switch.h"

#include "private_logind_process.h"

#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>

namespace sorabune {
namespace {

using namespace std::chrono_literals;
using testing::PrivateLogindProcess;

// One private bus with its mock logind for the whole process; each case resets the mock.
class LogindPowerSwitchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        logind = new PrivateLogindProcess;
        const QString address = logind->start();
        if (!address.isEmpty())
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete logind;
        logind = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(qgetenv("DBUS_SYSTEM_BUS_ADDRESS").contains("sorabune-logind-")) << "the private bus did not start";
        logind->command(QStringLiteral("accept"));
        logind->command(QStringLiteral("clear"));
    }

    std::unique_ptr<LogindPowerSwitch> makeSwitch(std::chrono::milliseconds timeout)
    {
        auto powerSwitch = std::make_unique<LogindPowerSwitch>(timeout);
        powerSwitch->setFailureHandler([this] { ++failures; });
        return powerSwitch;
    }

    static inline PrivateLogindProcess *logind = nullptr;
    int failures = 0;
};

const QStringList kOnePowerOff{QStringLiteral("PowerOff(false)")};

TEST_F(LogindPowerSwitchTest, AcceptedRequestIsOnePowerOffNotInteractive)
{
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout);
    powerSwitch->powerOff();
    EXPECT_TRUE(QTest::qWaitFor([] { return !logind->command(QStringLiteral("calls")).isEmpty(); }, 20000));
    QTest::qWait(200); // time for a wrong failure to show
    EXPECT_EQ(logind->command(QStringLiteral("calls")), kOnePowerOff);
    EXPECT_EQ(failures, 0);
}

TEST_F(LogindPowerSwitchTest, RefusalIsReportedOnceAndLater)
{
    logind->command(QStringLiteral("refuse"));
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout);
    powerSwitch->powerOff();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return failures > 0; }, 20000));
    QTest::qWait(100);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(logind->command(QStringLiteral("calls")), kOnePowerOff);
}

TEST_F(LogindPowerSwitchTest, HungLogindFailsAfterTheTimeoutWithoutBlocking)
{
    logind->command(QStringLiteral("hang"));
    constexpr auto timeout = 300ms;
    const auto powerSwitch = makeSwitch(timeout);
    QElapsedTimer clock;
    clock.start();
    powerSwitch->powerOff();
    const qint64 returned = clock.elapsed();
    EXPECT_LT(returned, 5000) << "powerOff() waited for the answer";
    EXPECT_TRUE(QTest::qWaitFor([this] { return failures > 0; }, 20000));
    const qint64 failed = clock.elapsed();
    // Qt's coarse timers may fire up to 5 % early; an immediate failure is what this rules out.
    EXPECT_GE(failed, timeout.count() * 9 / 10);
    EXPECT_EQ(failures, 1);
    std::cout << "powerOff() returned after " << returned << " ms; the failure came after " << failed << " ms (timeout "
              << timeout.count() << " ms)\n";
    EXPECT_EQ(logind->command(QStringLiteral("calls")), kOnePowerOff);
}

TEST_F(LogindPowerSwitchTest, SwitchDeletedWhileWaitingReportsNothing)
{
    logind->command(QStringLiteral("hang"));
    makeSwitch(200ms)->powerOff();
    QTest::qWait(600);
    EXPECT_EQ(failures, 0);
}

} // namespace
} // namespace sorabune
