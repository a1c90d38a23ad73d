// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_setup.h"
#include "ui/display_choice.h"
#include "ui/single_instance.h"

#include "support/listening_socket.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace sorabune;

Q_LOGGING_CATEGORY(lcPlatformStart, "qt.qpa.wayland")

// What main() checks before and just after the application exists.
class StartUpTest : public QObject {
    Q_OBJECT

public:
    // Called before the application exists, as main() calls it. On the minimal
    // platform Qt's own choice of style is Windows, not Fusion as offscreen,
    // and a desktop may name its own style in the environment.
    static void initMain()
    {
        qputenv("QT_QPA_PLATFORM", "minimal");
        qputenv("QT_STYLE_OVERRIDE", "Windows");
        setUpApplication();
    }

private:
    static void setOrUnset(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private slots:
    // clang-format off
    void chooseDisplay_data()
    {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland"); // $RUNTIME stands for the runtime folder
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QString>("complaint"); // empty: a display is there

        const QByteArray unset;
        QTest::newRow("no DISPLAY") << unset << unset << unset << unset << "DISPLAY is not set";
        QTest::newRow("empty DISPLAY") << unset << QByteArray("") << unset << unset << "DISPLAY is not set";
        QTest::newRow("a display nobody serves") << unset << QByteArray(":4999") << unset << unset
                                                 << "cannot open the display :4999";
        QTest::newRow("a Wayland session") << unset << unset << QByteArray("wayland-on") << QByteArray("wayland") << "";
        QTest::newRow("a Wayland socket by its path") << unset << unset << QByteArray("$RUNTIME/wayland-on")
                                                      << QByteArray("wayland") << "";
        QTest::newRow("Wayland, and an X display gone") << unset << QByteArray(":4999") << QByteArray("wayland-on")
                                                        << QByteArray("wayland") << "";
        QTest::newRow("a compositor gone, its socket left") << unset << unset << QByteArray("wayland-left") << unset
                                                            << "the Wayland display wayland-left does not answer";
        QTest::newRow("a compositor gone with its socket") << unset << unset << QByteArray("wayland-9") << unset
                                                           << "the Wayland display wayland-9 does not answer";
        QTest::newRow("a name too long for a socket") << unset << unset << QByteArray(200, 'w') << unset
                                                      << "does not answer";
        QTest::newRow("wayland asked, none there") << QByteArray("wayland") << unset << QByteArray("wayland-left")
                                                   << unset << "QT_QPA_PLATFORM=wayland";
        QTest::newRow("a list, none there") << QByteArray("wayland;xcb") << unset << unset << unset
                                            << "QT_QPA_PLATFORM=wayland;xcb";
        // What the user asked for stays as it is.
        QTest::newRow("a list with one there") << QByteArray("xcb;wayland") << unset << QByteArray("wayland-on")
                                               << unset << "";
        QTest::newRow("offscreen needs none") << QByteArray("offscreen") << unset << unset << unset << "";
    }
    // clang-format on
    void chooseDisplay()
    {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, chosen);
        QFETCH(QString, complaint);
        QTemporaryDir runtime;
        const auto socketAt = [&runtime](const char *name) {
            return QFile::encodeName(runtime.filePath(QLatin1String(name))).toStdString();
        };
        const testing::ListeningSocket compositor(socketAt("wayland-on"));
        QVERIFY(compositor.listening());
        QVERIFY(testing::ListeningSocket(socketAt("wayland-left")).listening()); // gone at once, its file left
        const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
        setOrUnset("QT_QPA_PLATFORM", platform);
        setOrUnset("DISPLAY", display);
        setOrUnset("WAYLAND_DISPLAY", wayland.replace("$RUNTIME", QFile::encodeName(runtime.path())));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const DisplayChoice choice = sorabune::chooseDisplay();
        qputenv("QT_QPA_PLATFORM", saved);
        QCOMPARE(QByteArray::fromStdString(choice.platform), chosen);
        const QString said = QString::fromStdString(choice.problem);
        if (complaint.isEmpty()) {
            QVERIFY2(said.isEmpty(), qPrintable(said));
        } else {
            QVERIFY2(said.contains(complaint), qPrintable(said));
            QVERIFY(said.startsWith(QStringLiteral("Sorabune: ")));
            QVERIFY(!said.contains(QLatin1Char('\n')));
        }
    }

    // Held while the platform starts, Qt's messages reach the handler before
    // (stderr's, in the program) once the application stands.
    void platformStartMessagesArePassedOnAfterwards()
    {
        static QStringList seen;
        seen.clear();
        const QtMessageHandler before =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
                seen << QStringLiteral("%1 %2: %3").arg(type).arg(QLatin1String(context.category), text);
            });
        QStringList whileStarting;
        {
            const PlatformStartGuard guard;
            qCWarning(lcPlatformStart, "starting");
            qCCritical(lcPlatformStart, "failing");
            whileStarting = seen;
        }
        qInstallMessageHandler(before);
        QCOMPARE(whileStarting, QStringList());
        QCOMPARE(seen, (QStringList{"1 qt.qpa.wayland: starting", "2 qt.qpa.wayland: failing"}));
    }

    void styleIsFusionWhateverThePlatformWouldChoose()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("minimal"));
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
    }

    void secondInstanceSeesTheFirst()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(SingleInstance::lockFolder(), runtime.path());
        {
            const SingleInstance first;
            QVERIFY(!first.previousInstance());
            const SingleInstance second;
            QVERIFY(second.previousInstance());
        }
        const SingleInstance afterwards;
        QVERIFY(!afterwards.previousInstance());
    }

    // clang-format off
    void lockFolderFallsBackToAPrivateTemporaryOne_data()
    {
        QTest::addColumn<bool>("set");
        QTest::newRow("runtime folder unset") << false;
        QTest::newRow("runtime folder impossible") << true;
    }
    // clang-format on
    void lockFolderFallsBackToAPrivateTemporaryOne()
    {
        QFETCH(bool, set);
        // Under a plain file: no folder can be made there, not even by root.
        QTemporaryDir parent;
        QFile file(parent.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString impossible = file.fileName() + QStringLiteral("/runtime");
        if (set)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(impossible));
        else
            qunsetenv("XDG_RUNTIME_DIR");
        const QString folder = SingleInstance::lockFolder();
        QCOMPARE(folder, QDir::tempPath() + QStringLiteral("/sorabune-") + QString::number(getuid()));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QFileInfo(folder).isWritable());
    }
};

QTEST_MAIN(StartUpTest)
#include "start_up_test.moc"
