#include "platform/desktop/logind_power_switch.h"

#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

namespace sorabune {
namespace {

// A process of its own: libdbus reads the bus address once per process.
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

} // namespace
} // namespace sorabune
