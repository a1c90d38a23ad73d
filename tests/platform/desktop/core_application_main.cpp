#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// main() of the power-off tests: the event loop that answers arrive through, and
// a system bus address that leads nowhere until a test sets up its private bus,
// so nothing can reach the machine's.
int main(int argc, char **argv)
{
    const QTemporaryDir nowhere;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + nowhere.filePath(QStringLiteral("no-bus")).toUtf8());
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
