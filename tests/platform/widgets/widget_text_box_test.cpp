#include "core/entry_rules.h"
#include "platform/widgets/widget_text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QtTest>

#include <string>
#include <vector>

using sorabune::WidgetTextBox;

// The text box with the entry boxes' key rule (the core's filter) and a flag for
// "the countdown runs".
class WidgetTextBoxTest : public QObject {
    Q_OBJECT

private:
    struct Box {
        explicit Box(const char *text = "0")
            : edit(QString::fromUtf8(text))
            , box(edit)
        {
            box.setKeyPressHandler([this](std::int16_t key) {
                keys.push_back(key);
                return sorabune::FilterEntryKey(key, running);
            });
            box.setChangeHandler([this] { changes.push_back(box.text()); });
            edit.show();
            edit.setFocus();
            edit.end(false);
        }
        QLineEdit edit;
        WidgetTextBox box;
        bool running = false;
        std::vector<std::int16_t> keys;
        std::vector<std::string> changes;
    };

    static void commit(QLineEdit &edit, const QString &text)
    {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(&edit, &event);
    }

    static void drop(QLineEdit &edit, const QString &text)
    {
        QMimeData data;
        data.setText(text);
        const QPoint at = edit.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &enter);
        QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &dropEvent);
    }

private slots:
    void backspaceDeletesOnlyWhileIdle()
    {
        Box b("45");
        QTest::keyClick(&b.edit, Qt::Key_Backspace);
        QCOMPARE(b.edit.text(), QStringLiteral("4"));
        QCOMPARE(b.keys, std::vector<std::int16_t>{8});
        b.running = true;
        QTest::keyClick(&b.edit, Qt::Key_Backspace);
        QTest::keyClick(&b.edit, Qt::Key_Home);
        QTest::keyClick(&b.edit, Qt::Key_Delete);
        QCOMPARE(b.edit.text(), QStringLiteral("4"));
        QCOMPARE(b.changes, std::vector<std::string>{"4"});
    }

    void userEditRunsTheChangeOnce()
    {
        Box b("");
        QTest::keyClicks(&b.edit, "8x0");
        QCOMPARE(b.changes, (std::vector<std::string>{"8", "80"}));
    }

    void codeRunsTheChangeAtOnceEvenUnchangedAndUnfiltered()
    {
        Box b("0");
        b.running = true; // the filter refuses everything, but code is no typing
        b.box.setText("0");
        b.box.setText("72");
        QCOMPARE(b.changes, (std::vector<std::string>{"0", "72"}));
        QVERIFY(b.keys.empty());
        QCOMPARE(b.edit.text(), QStringLiteral("72"));
    }

    void changeHandlerMaySetTheTextNested()
    {
        Box b("");
        std::vector<std::string> seen;
        b.box.setChangeHandler([&] {
            seen.push_back(b.box.text());
            if (b.box.text() == "80")
                b.box.setText("72");
            seen.push_back("end " + b.box.text());
        });
        QTest::keyClicks(&b.edit, "80");
        QCOMPARE(b.edit.text(), QStringLiteral("72"));
        QCOMPARE(seen, (std::vector<std::string>{"8", "end 8", "80", "72", "end 72", "end 72"}));
        // The box judges the next edit against 72, not against the 80 it refused.
        QTest::keyClick(&b.edit, Qt::Key_Backspace);
        QCOMPARE(b.edit.text(), QStringLiteral("7"));
    }

    // Every way into the box besides typing obeys the same rule.
    void otherWaysIn_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("expected");

        for (const QString way : {"paste by keyboard", "paste by menu", "input method", "drop"}) {
            const QByteArray w = way.toUtf8();
            QTest::newRow((w + ": digits").constData()) << way << "7" << false << "07";
            QTest::newRow((w + ": a letter among digits").constData()) << way << "a" << false << "0";
            QTest::newRow((w + ": full-width digit").constData()) << way << QStringLiteral("\uff15") << false << "0";
            QTest::newRow((w + ": while running").constData()) << way << "7" << true << "0";
        }
        QTest::newRow("paste of two digits fills the box") << "paste by keyboard" << "12" << false << "01";
        QTest::newRow("paste with a sign") << "paste by menu" << "-" << false << "0";
        QTest::newRow("input method commits two digits") << "input method" << "34" << false << "03";
    }
    void otherWaysIn()
    {
        QFETCH(QString, way);
        QFETCH(QString, text);
        QFETCH(bool, running);
        QFETCH(QString, expected);
        Box b("0");
        b.running = running;
        if (way == "paste by keyboard") {
            QApplication::clipboard()->setText(text);
            QTest::keySequence(&b.edit, QKeySequence::Paste);
        } else if (way == "paste by menu") {
            QApplication::clipboard()->setText(text);
            b.edit.paste(); // what the context menu's entry calls
        } else if (way == "input method") {
            commit(b.edit, text);
        } else {
            drop(b.edit, text);
        }
        QCOMPARE(b.edit.text(), expected);
        QCOMPARE(b.changes.size(), std::size_t{expected == "0" ? 0u : 1u});
        QVERIFY(!b.keys.empty()); // the rule was asked
    }

    void undoCannotBringTextBackWhileRunning()
    {
        Box b("0");
        QTest::keyClicks(&b.edit, "5");
        QCOMPARE(b.edit.text(), QStringLiteral("05"));
        b.running = true;
        QTest::keySequence(&b.edit, QKeySequence::Undo);
        QCOMPARE(b.edit.text(), QStringLiteral("05"));
        QCOMPARE(b.changes, std::vector<std::string>{"05"});
    }
};

QTEST_MAIN(WidgetTextBoxTest)
#include "widget_text_box_test.moc"
