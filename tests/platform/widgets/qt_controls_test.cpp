// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry_rules.h"
#include "platform/widgets/qt_controls.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QWidget>
#include <QtTest>

#include <string>
#include <vector>

using sorabune::QtCommandButton;
using sorabune::QtLabel;
using sorabune::QtOptionButton;
using sorabune::QtTextBox;
using sorabune::QtTimer;

// The Qt widget a control is made of, as a user (or Qt) meets it.
template<typename Widget, typename Control>
Widget &qt(Control &control)
{
    return static_cast<Widget &>(control.widget());
}

// Each control over its Qt widget, alone or in a bare window. The text box gets
// the entry boxes' key rule (the core's filter) and a flag for "the countdown runs".
class QtControlsTest : public QObject {
    Q_OBJECT

private:
    // Three option buttons on one window, each counting its clicks.
    struct Options {
        Options()
            : one(&window)
            , two(&window)
            , three(&window)
        {
            one.setText(QStringLiteral("one"));
            two.setText(QStringLiteral("two"));
            three.setText(QStringLiteral("three"));
            one.widget().setGeometry(0, 0, 100, 20);
            two.widget().setGeometry(0, 20, 100, 20);
            three.widget().setGeometry(0, 40, 100, 20);
            for (int i = 0; i < 3; ++i)
                options[i]->setClickHandler([this, i] { ++clicks[i]; });
            window.show();
            window.activateWindow();
            ready = QTest::qWaitForWindowActive(&window);
        }
        // Where a click hits a radio button: on its indicator.
        static void click(QtOptionButton &button)
        {
            QTest::mouseClick(&button.widget(), Qt::LeftButton, {}, QPoint(6, 10));
        }
        QWidget window;
        QtOptionButton one, two, three;
        QtOptionButton *const options[3] = {&one, &two, &three};
        int clicks[3] = {0, 0, 0};
        bool ready = false;
        std::vector<bool> values() const { return {options[0]->value(), options[1]->value(), options[2]->value()}; }
        // Which buttons Tab stops at.
        std::vector<bool> tabStops() const
        {
            std::vector<bool> stops;
            for (QtOptionButton *button : options)
                stops.push_back((button->widget().focusPolicy() & Qt::TabFocus) != 0);
            return stops;
        }
    };

    struct Box {
        explicit Box(const char *text = "0")
        {
            box.setText(text);
            box.setKeyPressHandler([this](std::int16_t key) {
                keys.push_back(key);
                return sorabune::FilterEntryKey(key, running);
            });
            box.setChangeHandler([this] { changes.push_back(box.text()); });
            edit.show();
            edit.setFocus();
            edit.end(false);
        }
        QtTextBox box;
        QLineEdit &edit = qt<QLineEdit>(box);
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
    void optionSetFromCodeClicksOnceAndClearsTheOthers()
    {
        Options o;
        o.options[1]->setValue(true);
        QCOMPARE(o.values(), (std::vector<bool>{false, true, false}));
        o.options[2]->setValue(true);
        QCOMPARE(o.values(), (std::vector<bool>{false, false, true}));
        QCOMPARE(o.tabStops(), (std::vector<bool>{false, false, true})); // the group is one stop
        QCOMPARE(o.clicks[1], 1);
        QCOMPARE(o.clicks[2], 1);
    }

    void optionSetFalseClearsWithoutAClick()
    {
        Options o;
        o.options[2]->setValue(true);
        o.options[2]->setValue(false);
        QCOMPARE(o.values(), (std::vector<bool>{false, false, false}));
        QCOMPARE(o.tabStops(), (std::vector<bool>{true, true, true})); // none chosen: still reachable
        QCOMPARE(o.clicks[2], 1);
        // The group still works afterwards.
        o.options[0]->setValue(true);
        Options::click(o.three);
        QCOMPARE(o.values(), (std::vector<bool>{false, false, true}));
    }

    void userClickRunsTheHandlerOnce()
    {
        Options o;
        Options::click(o.two);
        QCOMPARE(o.values(), (std::vector<bool>{false, true, false}));
        QCOMPARE(o.clicks[0] + o.clicks[1] + o.clicks[2], 1);
        QCOMPARE(o.clicks[1], 1);
    }

    void keyboardChoiceRunsTheHandlerOfTheNewOption()
    {
        Options o;
        QVERIFY(o.ready);
        o.options[0]->setValue(true);
        o.one.widget().setFocus();
        QTest::keyClick(&o.one.widget(), Qt::Key_Down);
        QCOMPARE(o.values(), (std::vector<bool>{false, true, false}));
        QCOMPARE(o.clicks[1], 1);
    }

    void commandButtonClicksOnlyWhileEnabled()
    {
        QtCommandButton button;
        QPushButton &push = qt<QPushButton>(button);
        push.setText(QStringLiteral("go"));
        int clicks = 0;
        button.setClickHandler([&] { ++clicks; });
        push.show();
        QTest::mouseClick(&push, Qt::LeftButton);
        button.setEnabled(false);
        QVERIFY(!button.isEnabled());
        QTest::mouseClick(&push, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    // A focused button is pressed by Space, Return and Enter; no other key.
    // clang-format off
    void commandButtonKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << false << 1;
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << false << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false << 1;
        QTest::newRow("Return held down") << int(Qt::Key_Return) << int(Qt::NoModifier) << true << 0;
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false << 0;
        QTest::newRow("a letter") << int(Qt::Key_A) << int(Qt::NoModifier) << false << 0;
    }
    // clang-format on
    void commandButtonKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(int, clicks);
        QtCommandButton button;
        QPushButton &push = qt<QPushButton>(button);
        QVERIFY(!push.autoDefault()); // Enter is ours to give, not a default button's
        int clicked = 0;
        button.setClickHandler([&] { ++clicked; });
        push.show();
        QVERIFY(QTest::qWaitForWindowExposed(&push));
        push.setFocus();
        if (autoRepeat) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), QString(), true);
            QApplication::sendEvent(&push, &press);
        } else {
            QTest::keyClick(&push, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        }
        QCOMPARE(clicked, clicks);
    }

    void labelShowsPlainText()
    {
        QtLabel label;
        QLabel &widget = qt<QLabel>(label);
        widget.setGeometry(0, 0, 400, 20);
        const std::string caption = "/music/<b>rock</b> & roll.mid";
        label.setCaption(caption);
        QCOMPARE(widget.textFormat(), Qt::PlainText);
        QCOMPARE(widget.text(), QString::fromStdString(caption));
        QCOMPARE(label.caption(), caption);
        QVERIFY(widget.toolTip().isEmpty());
    }

    void longCaptionKeepsItsEndInView()
    {
        QtLabel label;
        QLabel &widget = qt<QLabel>(label);
        widget.setGeometry(0, 0, 105, 17);
        const std::string path = "/home/someone/music/collections/very/deep/folder/アラーム.mid";
        label.setCaption(path);
        label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(label.caption(), path); // what the alarm reads
        QVERIFY(widget.text().endsWith(QStringLiteral("アラーム.mid")));
        QVERIFY(widget.text().startsWith(QChar(0x2026)));
        QVERIFY(widget.fontMetrics().horizontalAdvance(widget.text()) <= widget.contentsRect().width());
        QCOMPARE(widget.toolTip(), QString::fromStdString(path));
        // Assistive technology gets the whole path, not what fits.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&widget);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->text(QAccessible::Name), QString::fromStdString(path));
        label.setCaption("short");
        QVERIFY(widget.toolTip().isEmpty());
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("short"));
    }

    void timerIsPreciseAndTicksOnlyEnabledWithAnInterval()
    {
        QObject owner;
        QtTimer timer(&owner);
        QTimer &qtimer = *owner.findChild<QTimer *>();
        int ticks = 0;
        timer.setTimerHandler([&] { ++ticks; });
        QCOMPARE(qtimer.timerType(), Qt::PreciseTimer);
        timer.setEnabled(true); // interval 0: enabled, yet silent
        QVERIFY(timer.isEnabled());
        QVERIFY(!qtimer.isActive());
        QTest::qWait(30);
        QCOMPARE(ticks, 0);
        timer.setInterval(5);
        QVERIFY(qtimer.isActive());
        QTRY_VERIFY(ticks >= 2);
        timer.setEnabled(false);
        QVERIFY(!qtimer.isActive());
        timer.setInterval(1000);
        QVERIFY(!qtimer.isActive());
        QCOMPARE(qtimer.interval(), 1000);
    }

    void settingTheIntervalRestartsThePeriod()
    {
        QObject owner;
        QtTimer timer(&owner);
        QTimer &qtimer = *owner.findChild<QTimer *>();
        timer.setInterval(60000);
        timer.setEnabled(true);
        QTest::qWait(200);
        QVERIFY(qtimer.remainingTime() <= 59850);
        timer.setInterval(60000);
        QVERIFY(qtimer.remainingTime() >= 59900);
        timer.setEnabled(true); // already on: no restart needed, none done
        QVERIFY(qtimer.isActive());
    }

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

    // Every way into the box besides typing obeys the same rule: pasting, input
    // methods, dropping, and assistive technology.
    // clang-format off
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
        // A screen reader or an automation tool edits through the accessible
        // text interfaces, which call QLineEdit::setText past the key events.
        QTest::newRow("set contents: 99") << "set contents" << "99" << false << "99";
        QTest::newRow("set contents: 75") << "set contents" << "75" << false << "75";
        QTest::newRow("set contents: letters") << "set contents" << "ab" << false << "0";
        QTest::newRow("set contents: a sign") << "set contents" << "-3" << false << "0";
        QTest::newRow("set contents: three digits") << "set contents" << "123" << false << "12";
        QTest::newRow("set contents: empty") << "set contents" << "" << false << "";
        QTest::newRow("set contents while running") << "set contents" << "75" << true << "0";
        QTest::newRow("set contents while running: empty") << "set contents" << "" << true << "0";
        QTest::newRow("insert a digit") << "insert" << "5" << false << "05";
        QTest::newRow("insert a letter") << "insert" << "x" << false << "0";
        QTest::newRow("insert while running") << "insert" << "5" << true << "0";
        QTest::newRow("delete") << "delete" << "" << false << "";
        QTest::newRow("delete while running") << "delete" << "" << true << "0";
        QTest::newRow("set the value: 99") << "set value" << "99" << false << "99";
        QTest::newRow("set the value while running") << "set value" << "75" << true << "0";
    }
    // clang-format on
    void otherWaysIn()
    {
        QFETCH(QString, way);
        QFETCH(QString, text);
        QFETCH(bool, running);
        QFETCH(QString, expected);
        Box b("0");
        b.running = running;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&b.edit);
        QVERIFY(accessible != nullptr && accessible->editableTextInterface() != nullptr);
        QAccessibleEditableTextInterface *editable = accessible->editableTextInterface();
        const int length = accessible->textInterface()->characterCount();
        if (way == "paste by keyboard") {
            QApplication::clipboard()->setText(text);
            QTest::keySequence(&b.edit, QKeySequence::Paste);
        } else if (way == "paste by menu") {
            QApplication::clipboard()->setText(text);
            b.edit.paste(); // what the context menu's entry calls
        } else if (way == "input method") {
            commit(b.edit, text);
        } else if (way == "drop") {
            drop(b.edit, text);
        } else if (way == "set contents") {
            editable->replaceText(0, length, text); // AT-SPI's SetTextContents
        } else if (way == "insert") {
            editable->insertText(length, text);
        } else if (way == "delete") {
            editable->deleteText(0, length);
        } else {
            accessible->setText(QAccessible::Value, text);
        }
        QCOMPARE(b.edit.text(), expected);
        if (expected == "0") {
            QVERIFY(b.changes.empty());
        } else {
            QCOMPARE(b.changes, std::vector<std::string>{expected.toStdString()});
        }
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

QTEST_MAIN(QtControlsTest)
#include "qt_controls_test.moc"
