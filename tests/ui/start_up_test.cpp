#include "ui/display_check.h"
#include "ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace sorabune;

// What main() checks before and just after the application exists.
class StartUpTest : public QObject {
    Q_OBJECT

private:
    static void setOrUnset(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private slots:
    void missingDisplay_data()
    {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QString>("complaint"); // empty: a display is there

        const QByteArray unset;
        QTest::newRow("no DISPLAY") << unset << unset << unset << "DISPLAY is not set";
        QTest::newRow("empty DISPLAY") << unset << QByteArray("") << unset << "DISPLAY is not set";
        QTest::newRow("a display nobody serves") << unset << QByteArray(":4999") << unset << "cannot open the display :4999";
        QTest::newRow("a Wayland session") << unset << unset << QByteArray("wayland-0") << "";
        QTest::newRow("wayland asked, none there") << QByteArray("wayland") << unset << unset << "QT_QPA_PLATFORM=wayland";
        QTest::newRow("a list, none there") << QByteArray("wayland;xcb") << unset << unset << "QT_QPA_PLATFORM=wayland;xcb";
        QTest::newRow("a list with one there") << QByteArray("xcb;wayland") << unset << QByteArray("wayland-1") << "";
        QTest::newRow("offscreen needs none") << QByteArray("offscreen") << unset << unset << "";
    }
    void missingDisplay()
    {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(QString, complaint);
        const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
        setOrUnset("QT_QPA_PLATFORM", platform);
        setOrUnset("DISPLAY", display);
        setOrUnset("WAYLAND_DISPLAY", wayland);
        const QString said = QString::fromStdString(MissingDisplay());
        qputenv("QT_QPA_PLATFORM", saved);
        if (complaint.isEmpty()) {
            QVERIFY2(said.isEmpty(), qPrintable(said));
        } else {
            QVERIFY2(said.contains(complaint), qPrintable(said));
            QVERIFY(said.startsWith(QStringLiteral("Sorabune: ")));
            QVERIFY(!said.contains(QLatin1Char('\n')));
        }
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

    void lockFolderFallsBackToAPrivateTemporaryOne_data()
    {
        QTest::addColumn<bool>("set");
        QTest::newRow("runtime folder unset") << false;
        QTest::newRow("runtime folder impossible") << true;
    }
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

QTEST_GUILESS_MAIN(StartUpTest)
#include "start_up_test.moc"
