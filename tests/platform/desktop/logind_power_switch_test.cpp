// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/logind_power_switch.h"

#include "platform/desktop/session_suspend_inhibitor.h"
#include "platform/log.h"

#include "support/captured_warnings.h"
#include "support/private_session_bus.h"
#include "support/scoped_environment.h"

#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace sorabune {
namespace {

using namespace std::chrono_literals;

// python3-dbusmock's logind on the private system bus that tests/support/private_logind.py
// runs this test beside, driven through the mock's own D-Bus interface.
class MockLogind {
public:
    MockLogind()
    {
        sd_bus *raw = nullptr;
        sd_bus_creds *creds = nullptr;
        // The mock's pid, for stopping it, as the bus knows it.
        if (sd_bus_open_system(&raw) < 0
            || sd_bus_get_name_creds(raw, "org.freedesktop.login1", SD_BUS_CREDS_PID, &creds) < 0
            || sd_bus_creds_get_pid(creds, &m_pid) < 0)
            ADD_FAILURE() << "no logind mock on the private system bus";
        sd_bus_creds_unref(creds);
        m_bus.reset(raw);
    }

    // PowerOff answers with success, or with logind's refusal of a non-interactive
    // call that polkit would have to ask the user about.
    void accept() { addPowerOff(""); }
    void refuse()
    {
        addPowerOff("raise dbus.exceptions.DBusException('Interactive authentication required.', "
                    "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')");
    }
    // What ListInhibitors answers: a Python list of (what, who, why, mode, uid, pid).
    void locks(const std::string &list)
    {
        call("AddMethod", "sssss", kManager, "ListInhibitors", "", "a(ssssuu)", ("ret = " + list).c_str());
    }
    // Stops the mock: calls wait unanswered until the mock is called again.
    void hang() { sendSignal(SIGSTOP); }

    // The interactive argument of every PowerOff call so far (a hung mock answers
    // its queue first: the late answers go to callers that gave up).
    std::vector<bool> powerOffCalls()
    {
        std::vector<bool> calls;
        const Message reply = call("GetMethodCalls", "s", "PowerOff");
        // a(tav): the time and the arguments of each call
        if (!reply || sd_bus_message_enter_container(reply.get(), SD_BUS_TYPE_ARRAY, "(tav)") <= 0)
            return calls;
        while (sd_bus_message_enter_container(reply.get(), SD_BUS_TYPE_STRUCT, "tav") > 0) {
            int interactive = -1;
            sd_bus_message_skip(reply.get(), "t");
            sd_bus_message_read(reply.get(), "av", 1, "b", &interactive);
            calls.push_back(interactive != 0);
            sd_bus_message_exit_container(reply.get());
        }
        return calls;
    }
    void clear() { call("ClearCalls", ""); }

private:
    struct MessageDeleter {
        void operator()(sd_bus_message *message) const { sd_bus_message_unref(message); }
    };
    using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

    static constexpr const char *kManager = "org.freedesktop.login1.Manager";

    void addPowerOff(const char *code) { call("AddMethod", "sssss", kManager, "PowerOff", "b", "", code); }

    // The mock's answer, null (and the case failed) when there is none.
    template<typename... Arguments>
    Message call(const char *method, const char *signature, Arguments... arguments)
    {
        sendSignal(SIGCONT);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message *reply = nullptr;
        if (sd_bus_call_method(m_bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                "org.freedesktop.DBus.Mock", method, &error, &reply, signature, arguments...)
            < 0)
            ADD_FAILURE() << method << ": " << (error.message ? error.message : "no bus");
        sd_bus_error_free(&error);
        return Message(reply);
    }

    void sendSignal(int number)
    {
        if (m_pid <= 0 || ::kill(m_pid, number) != 0)
            ADD_FAILURE() << "cannot signal the logind mock";
    }

    struct BusDeleter {
        void operator()(sd_bus *bus) const { sd_bus_flush_close_unref(bus); }
    };
    std::unique_ptr<sd_bus, BusDeleter> m_bus;
    pid_t m_pid = 0;
};

// One mock for the whole process; each case resets it.
class LogindPowerSwitchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // main() led the system bus nowhere; only the private one may replace that.
        if (const char *address = std::getenv("SORABUNE_PRIVATE_SYSTEM_BUS")) {
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
            logind = new MockLogind;
        }
    }
    static void TearDownTestSuite()
    {
        delete logind;
        logind = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(logind, nullptr) << "run through tests/support/private_logind.py";
        logind->accept();
        logind->locks("[]");
        logind->clear();
    }

    std::unique_ptr<LogindPowerSwitch> makeSwitch(std::chrono::milliseconds timeout, SerialWorker worker = {})
    {
        auto powerSwitch = std::make_unique<LogindPowerSwitch>(timeout, std::move(worker));
        powerSwitch->setFailureHandler([this] { ++failures; });
        return powerSwitch;
    }

    static inline MockLogind *logind = nullptr;
    int failures = 0;
};

const std::vector<bool> kOnePowerOff{false};

TEST_F(LogindPowerSwitchTest, AcceptedRequestIsOnePowerOffNotInteractive)
{
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout);
    powerSwitch->powerOff();
    EXPECT_TRUE(QTest::qWaitFor([] { return !logind->powerOffCalls().empty(); }, 20000));
    QTest::qWait(200); // time for a wrong failure to show
    EXPECT_EQ(logind->powerOffCalls(), kOnePowerOff);
    EXPECT_EQ(failures, 0);
}

TEST_F(LogindPowerSwitchTest, RefusalIsReportedOnceAndLater)
{
    logind->refuse();
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout);
    powerSwitch->powerOff();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return failures > 0; }, 20000));
    QTest::qWait(100);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(logind->powerOffCalls(), kOnePowerOff);
}

TEST_F(LogindPowerSwitchTest, HungLogindFailsAfterTheTimeoutWithoutBlockingOrPoweringOff)
{
    logind->hang();
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
    // It hung on the question of locks: nothing was asked of it after that.
    EXPECT_EQ(logind->powerOffCalls(), std::vector<bool>{});
}

TEST_F(LogindPowerSwitchTest, SwitchDeletedWhileWaitingReportsNothing)
{
    logind->hang();
    makeSwitch(200ms)->powerOff();
    QTest::qWait(600);
    EXPECT_EQ(failures, 0);
}

// The inhibitor and the power switch share their worker, as in the program:
// the power-off waits for the end of the inhibition to be answered.
TEST_F(LogindPowerSwitchTest, TheEndOfAnInhibitionIsAnsweredBeforeThePowerOffGoesOut)
{
    testing::PrivateSessionBus session;
    ASSERT_TRUE(session.running()) << session.error();
    const testing::ScopedEnvironment environment(session.clientEnvironment());
    constexpr int releaseTakes = 500; // ms
    ASSERT_TRUE(session.serve("portal"));
    ASSERT_TRUE(session.slowRelease(releaseTakes / 1000.0));
    const SerialWorker buses;
    SessionSuspendInhibitor awake("org.sorabune.Test", "タイマー動作中", buses);
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout, buses);
    awake.hold();
    ASSERT_TRUE(buses.waitUntilIdle(10s));
    QElapsedTimer clock;
    clock.start();
    awake.release();
    powerSwitch->powerOff();
    EXPECT_TRUE(QTest::qWaitFor([] { return !logind->powerOffCalls().empty(); }, 20000));
    EXPECT_GE(clock.elapsed(), releaseTakes * 9 / 10) << "the power-off went out first";
    EXPECT_EQ(session.inhibitions().released, 1);
    EXPECT_EQ(failures, 0);
}

// The locks logind lists just before the power-off, and whether they hold it back.
struct LockCase {
    const char *name;
    const char *locks; // {uid} stands for the user's own
    bool heldBack;
};

void PrintTo(const LockCase &lockCase, std::ostream *out)
{
    *out << lockCase.name;
}

class LogindLockTest : public LogindPowerSwitchTest, public ::testing::WithParamInterface<LockCase> { };

TEST_P(LogindLockTest, OnlyABlockOnShutdownHoldsThePowerOffBack)
{
    std::string locks = GetParam().locks;
    for (std::size_t at; (at = locks.find("{uid}")) != std::string::npos;)
        locks.replace(at, 5, std::to_string(::getuid()));
    logind->locks(locks);
    const testing::CapturedWarnings warnings(kPowerOffLog);
    const auto powerSwitch = makeSwitch(LogindPowerSwitch::kDefaultTimeout);
    powerSwitch->powerOff();
    if (GetParam().heldBack) {
        EXPECT_TRUE(QTest::qWaitFor([this] { return failures > 0; }, 20000));
        EXPECT_EQ(logind->powerOffCalls(), std::vector<bool>{});
        EXPECT_EQ(warnings.lines(),
            QStringList{
                QStringLiteral("Power-off held back: \"Text Editor\" blocks shutdown: There are unsaved documents")});
    } else {
        EXPECT_TRUE(QTest::qWaitFor([] { return !logind->powerOffCalls().empty(); }, 20000));
        EXPECT_EQ(warnings.lines(), QStringList{});
    }
    QTest::qWait(100); // time for a wrong failure to show
    EXPECT_EQ(failures, GetParam().heldBack ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Locks, LogindLockTest,
    ::testing::Values(LockCase{"TheUsersOwnBlock",
                          "[('shutdown', 'Text Editor', 'There are unsaved documents', 'block', {uid}, 4242)]", true},
        LockCase{"AnotherUsersBlock",
            "[('shutdown', 'Text Editor', 'There are unsaved documents', 'block', 4321, 4242)]", true},
        LockCase{"ABlockOnShutdownAndSleep",
            "[('sleep', 'Sorabune', 'Timer', 'block', {uid}, 1),"
            " ('sleep:shutdown', 'Text Editor', 'There are unsaved documents', 'block', {uid}, 4242)]",
            true},
        LockCase{"ADelayOnShutdown", "[('shutdown', 'Text Editor', 'Saving', 'delay', {uid}, 4242)]", false},
        LockCase{"ABlockOnSleep", "[('sleep', 'Sorabune', 'Timer', 'block', {uid}, 4242)]", false},
        LockCase{"BlocksOnTheLidAndPowerKey",
            "[('handle-lid-switch:handle-power-key', 'GNOME', 'External monitor', 'block', {uid}, 4242)]", false}),
    [](const ::testing::TestParamInfo<LockCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace sorabune
