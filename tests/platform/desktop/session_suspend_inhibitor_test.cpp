// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/session_suspend_inhibitor.h"

#include "platform/log.h"

#include "support/captured_warnings.h"
#include "support/private_session_bus.h"
#include "support/scoped_environment.h"

#include <QElapsedTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sorabune {
namespace {

using namespace std::chrono_literals;

constexpr char kReason[] = "タイマー動作中";
constexpr SuspendInhibitorLimits kTestLimits{500ms, 500ms};

// Against a private session bus with the stand-ins a case serves; main() led
// every bus nowhere first.
class SessionSuspendInhibitorTest : public ::testing::Test {
protected:
    void startSession()
    {
        session.emplace();
        ASSERT_TRUE(session->running()) << session->error();
        environment.emplace(session->clientEnvironment());
    }
    void serve(const std::string &service)
    {
        if (!session)
            startSession();
        ASSERT_TRUE(session->serve(service));
    }
    std::unique_ptr<SessionSuspendInhibitor> makeInhibitor(SuspendInhibitorLimits limits = {})
    {
        return std::make_unique<SessionSuspendInhibitor>("org.sorabune.Test", kReason, worker, limits);
    }
    // Whether every call asked for so far has gone out, waiting a while for it.
    bool settled() { return worker.waitUntilIdle(10s); }

    std::optional<testing::PrivateSessionBus> session;
    std::optional<testing::ScopedEnvironment> environment;
    SerialWorker worker;
};

// Which service takes the inhibition: the portal where there is one, GNOME's
// session manager otherwise. Suspend only (flags 4), with the reason.
struct ServiceCase {
    const char *name;
    std::vector<std::string> served;
    const char *via;
};

void PrintTo(const ServiceCase &serviceCase, std::ostream *out)
{
    *out << serviceCase.name;
}

class InhibitingServiceTest : public SessionSuspendInhibitorTest, public ::testing::WithParamInterface<ServiceCase> { };

TEST_P(InhibitingServiceTest, HoldsOneInhibitionUntilReleased)
{
    for (const std::string &service : GetParam().served)
        serve(service);
    const testing::CapturedWarnings warnings(kSuspendLog);
    const auto inhibitor = makeInhibitor();
    inhibitor->hold();
    inhibitor->hold();
    ASSERT_TRUE(settled());
    testing::Inhibitions state = session->inhibitions();
    EXPECT_EQ(state.asked, 1);
    EXPECT_EQ(state.released, 0);
    EXPECT_EQ(state.via, GetParam().via);
    EXPECT_EQ(state.flags, 4);
    EXPECT_EQ(state.reason, kReason);

    inhibitor->release();
    inhibitor->release();
    ASSERT_TRUE(settled());
    state = session->inhibitions();
    EXPECT_EQ(state.asked, 1);
    EXPECT_EQ(state.released, 1);
    EXPECT_EQ(warnings.lines(), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Services, InhibitingServiceTest,
    ::testing::Values(ServiceCase{"Portal", {"portal"}, "portal"},
        ServiceCase{"PortalBeforeGnome", {"gnome", "portal"}, "portal"},
        ServiceCase{"GnomeWhereNoPortal", {"gnome"}, "gnome"}),
    [](const ::testing::TestParamInfo<ServiceCase> &info) { return std::string(info.param.name); });

TEST_F(SessionSuspendInhibitorTest, HundredCyclesLeaveNothingHeld)
{
    serve("portal");
    const auto inhibitor = makeInhibitor();
    for (int cycle = 0; cycle < 100; ++cycle) {
        inhibitor->hold();
        inhibitor->release();
    }
    ASSERT_TRUE(settled());
    const testing::Inhibitions state = session->inhibitions();
    EXPECT_EQ(state.asked, 100);
    EXPECT_EQ(state.released, 100);
}

TEST_F(SessionSuspendInhibitorTest, GoingAwayReleasesWhatItHolds)
{
    serve("portal");
    auto inhibitor = makeInhibitor();
    inhibitor->hold();
    ASSERT_TRUE(settled());
    inhibitor.reset();
    EXPECT_EQ(session->inhibitions().released, 1) << "released only after the inhibitor had gone";
}

// Where nothing keeps the machine awake, hold() still returns at once; one
// line says why, within the hold's limit.
struct UnheldCase {
    const char *name;
    const char *served; // "" for none
    bool hung;
    bool busThere;
    const char *said;
};

void PrintTo(const UnheldCase &unheld, std::ostream *out)
{
    *out << unheld.name;
}

class UnheldTest : public SessionSuspendInhibitorTest, public ::testing::WithParamInterface<UnheldCase> { };

TEST_P(UnheldTest, HoldReturnsAtOnceAndOneLineSaysWhy)
{
    const UnheldCase &unheld = GetParam();
    if (unheld.busThere)
        startSession();
    if (*unheld.served)
        serve(unheld.served);
    if (unheld.hung) {
        ASSERT_TRUE(session->hang());
    }
    const testing::CapturedWarnings warnings(kSuspendLog);
    QElapsedTimer clock;
    clock.start();
    const auto inhibitor = makeInhibitor(kTestLimits);
    inhibitor->hold();
    EXPECT_LT(clock.elapsed(), 200) << "hold() waited for the bus";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !warnings.lines().empty(); }, 10000));
    if (unheld.hung) {
        EXPECT_GE(clock.elapsed(), kTestLimits.hold.count() * 9 / 10) << "gave up before the limit";
    }
    inhibitor->release();
    ASSERT_TRUE(settled());
    const QStringList lines = warnings.lines();
    ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("Cannot keep the machine awake until the alarm: ")));
    EXPECT_TRUE(lines.first().contains(QString::fromUtf8(unheld.said))) << lines.first().toStdString();
    if (unheld.busThere) {
        EXPECT_EQ(session->inhibitions().released, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Sessions, UnheldTest,
    ::testing::Values(UnheldCase{"NoSessionBus", "", false, false, "no session bus"},
        UnheldCase{"NeitherService", "", false, true, "GNOME's session manager: org.gnome.SessionManager answered: "},
        UnheldCase{"ThePortalNeverAnswers", "portal", true, true, "org.freedesktop.portal.Desktop did not answer"}),
    [](const ::testing::TestParamInfo<UnheldCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace sorabune
