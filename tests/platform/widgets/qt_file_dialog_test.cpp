// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/qt_file_dialog.h"
#include "platform/widgets/qt_translations.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

// Drives the real dialog: the test looks at it while it is open, then answers.
class QtFileDialogTest : public QObject {
    Q_OBJECT

private:
    // Runs `look` on the open dialog (once its list shows `folder`), then closes it
    // with `accept` or a cancel. A dialog that never gets there is cancelled after
    // a while, and the test fails on what it then finds.
    static void whileOpen(const QString &folder, std::function<void(QFileDialog &)> look, bool accept)
    {
        auto *poll = new QTimer;
        auto deadline = std::make_shared<QDeadlineTimer>(30000);
        QObject::connect(poll, &QTimer::timeout, poll, [=] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            if (deadline->hasExpired()) {
                poll->deleteLater();
                QMetaObject::invokeMethod(dialog, "reject");
                return;
            }
            if (dialog->directory().absolutePath() != folder) {
                dialog->setDirectory(folder);
                return;
            }
            auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
            if (list == nullptr || list->model()->rowCount(list->rootIndex()) == 0)
                return; // still reading the folder
            poll->deleteLater();
            look(*dialog);
            // What the Open and Cancel buttons call.
            QMetaObject::invokeMethod(dialog, accept ? "accept" : "reject");
        });
        poll->start(20);
    }

    // Types the name into the dialog's file name box, as a user would.
    static void type(QFileDialog &dialog, const QString &name)
    {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->clear();
        QTest::keyClicks(edit, name);
    }

    static QStringList listed(QFileDialog &dialog)
    {
        auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        names.sort();
        return names;
    }

private slots:
    void listsMidiFilesWithoutRegardToCaseAndReturnsTheChoice()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const char *name : {"SONG.MID", "tune.mid", "notes.txt", "song.midi"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString folderPath = QDir(folder.path()).absolutePath();

        sorabune::QtFileDialog dialog;
        QStringList names;
        QStringList filters;
        whileOpen(
            folderPath,
            [&](QFileDialog &open) {
                names = listed(open);
                filters = open.nameFilters();
                type(open, QStringLiteral("SONG.MID"));
            },
            true);
        dialog.showOpen();

        QCOMPARE(filters, QStringList{QStringLiteral("midi(*.mid)")});
        QCOMPARE(names, (QStringList{QStringLiteral("SONG.MID"), QStringLiteral("tune.mid")}));
        QCOMPARE(QString::fromStdString(dialog.fileName()), folder.filePath(QStringLiteral("SONG.MID")));
    }

    void cancelLeavesTheNameEmpty()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("a.mid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        sorabune::QtFileDialog dialog;
        // An earlier choice does not survive a cancel.
        whileOpen(
            QDir(folder.path()).absolutePath(), [](QFileDialog &open) { type(open, QStringLiteral("a.mid")); }, true);
        dialog.showOpen();
        QVERIFY(!dialog.fileName().empty());
        whileOpen(
            QDir(folder.path()).absolutePath(), [](QFileDialog &) {}, false);
        dialog.showOpen();
        QVERIFY(dialog.fileName().empty());
    }

    // main() runs the test under LANG=ja_JP.UTF-8.
    void buttonsReadInTheUsersLanguage()
    {
        QCOMPARE(QLocale::system().language(), QLocale::Japanese);
        const auto translations = sorabune::installQtTranslations();
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("a.mid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QStringList texts;
        whileOpen(
            QDir(folder.path()).absolutePath(),
            [&](QFileDialog &open) {
                auto *buttons = open.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                texts << buttons->button(QDialogButtonBox::Open)->text()
                      << buttons->button(QDialogButtonBox::Cancel)->text()
                      << open.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text();
            },
            false);
        sorabune::QtFileDialog().showOpen();
        QCOMPARE(texts, (QStringList{"開く(&O)", "キャンセル", "ファイル名(&N):"}));
    }

    // clang-format off
    void qtTextsFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("locale"); // empty: the system's
        QTest::addColumn<QString>("paste"); // from the boxes' context menu

        QTest::newRow("system (LANG=ja_JP.UTF-8)") << QString() << "貼り付け(&P)";
        QTest::newRow("German") << "de_DE" << "Einf&ügen";
        QTest::newRow("English") << "en_US" << "&Paste";
        QTest::newRow("British English") << "en_GB" << "&Paste";
        QTest::newRow("C") << "C" << "&Paste";
        QTest::newRow("no texts for the language") << "yo_NG" << "&Paste";
    }
    // clang-format on
    void qtTextsFollowTheLanguage()
    {
        QFETCH(QString, locale);
        QFETCH(QString, paste);
        {
            const auto translations =
                sorabune::installQtTranslations(locale.isEmpty() ? QLocale::system() : QLocale(locale));
            QCOMPARE(QCoreApplication::translate("QLineEdit", "&Paste"), paste);
        }
        // Gone with the object.
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Paste"), QStringLiteral("&Paste"));
    }
};

int main(int argc, char *argv[])
{
    // As on a Japanese desktop; Qt reads the system locale from these at start.
    qputenv("LANG", "ja_JP.UTF-8");
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        qunsetenv(name);
    QApplication app(argc, argv);
    QtFileDialogTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "qt_file_dialog_test.moc"
