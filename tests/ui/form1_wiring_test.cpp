// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_setup.h"
#include "ui/form1.h"

#include "fakes/fake_clock.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_alarm.h"
#include "fakes/scripted_file_dialog.h"
#include "support/form1_driver.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using namespace sorabune;
using Failure = testing::ScriptedFileDialog::Failure;
using Calls = std::vector<std::string>;

// The window with its real widgets, a scripted clock, a recording alarm and a
// scripted file dialog, driven as a user would.
class Form1WiringTest : public QObject, private testing::Form1Driver {
    Q_OBJECT

public:
    Form1WiringTest()
        : Form1Driver(form, clock, dialog)
    {
    }

private:
    testing::FakeClock clock{40000.3};
    testing::RecordingAlarm alarm;
    testing::FakeSuspendInhibitor awake;
    testing::ScriptedFileDialog dialog;
    std::unique_ptr<Form1> form;

private slots:
    void initTestCase() { setUpApplication(); }

    void init()
    {
        alarm.calls.clear();
        dialog = {};
        clock.set(40000.3); // start second 40000
        form = std::make_unique<Form1>(clock, alarm, awake, dialog);
        QVERIFY(form->Load(false));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup() { form.reset(); }

    void loadChoosesTheBeep()
    {
        QVERIFY(chosen("Option1"));
        QVERIFY(!Label4()->isEnabled());
        QVERIFY(alarm.calls.empty());
        QVERIFY(idle());
    }

    void loadWithAnotherCopyUnloadsAtOnce()
    {
        alarm.calls.clear();
        Form1 second(clock, alarm, awake, dialog);
        QVERIFY(!second.Load(true));
        QVERIFY(!second.isVisible());
        QVERIFY(second.findChild<QRadioButton *>(QStringLiteral("Option1"))->isChecked());
        QVERIFY(!second.findChild<QLabel *>(QStringLiteral("Label4"))->isEnabled());
        QCOMPARE(alarm.calls, Calls{"SilencePlayback"});
    }

    // Each box runs its own change rule (the rules themselves are the countdown's).
    // clang-format off
    void typing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");

        QTest::newRow("80 hours become 72") << "Text1" << "80" << "72" << "72 : 00 : 00";
        QTest::newRow("60 minutes become 59") << "Text2" << "60" << "59" << "00 : 59 : 00";
    }
    // clang-format on
    void typing()
    {
        QFETCH(QString, box);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QLineEdit *edit = control<QLineEdit>(box.toLatin1().constData());
        erase(edit);
        type(edit, keys);
        QCOMPARE(edit->text(), text);
        QCOMPARE(display(), shown);
    }

    void startTickStop()
    {
        type(Text2(), "1");
        click("Command1");
        QVERIFY(running());
        QCOMPARE(Timer1()->interval(), 1000);
        QCOMPARE(alarm.calls, Calls{"SilencePlayback"});
        QCOMPARE(display(), QStringLiteral("00 : 01 : 00")); // the start leaves it
        tick();
        QCOMPARE(display(), QStringLiteral("00 : 00 : 59"));
        tick(7.2); // a late tick shows the true rest
        QCOMPARE(display(), QStringLiteral("00 : 00 : 52"));
        type(Text1(), "3"); // no key reaches a box while running
        erase(Text2());
        QCOMPARE(Text1()->text(), QStringLiteral("0"));
        QCOMPARE(Text2()->text(), QStringLiteral("01"));
        click("Command2");
        QVERIFY(idle());
        QCOMPARE(alarm.calls, (Calls{"SilencePlayback", "SilencePlayback"}));
        QCOMPARE(Text2()->text(), QStringLiteral("0"));
        QCOMPARE(display(), QStringLiteral("00 : 00 : 00"));
    }

    // Keys on the focused control with one minute in the boxes: Return presses a
    // button; Enter in a box presses none (the window has no default).
    // clang-format off
    void keyboard_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("then");
        QTest::newRow("Return on Command1") << "Command1" << int(Qt::Key_Return) << int(Qt::NoModifier) << "running";
        QTest::newRow("Return on Command3") << "Command3" << int(Qt::Key_Return) << int(Qt::NoModifier) << "closed";
        QTest::newRow("Return in Text2") << "Text2" << int(Qt::Key_Return) << int(Qt::NoModifier) << "idle";
        QTest::newRow("keypad Enter in Text1") << "Text1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "idle";
        QTest::newRow("Return on Option1") << "Option1" << int(Qt::Key_Return) << int(Qt::NoModifier) << "idle";
    }
    // clang-format on
    void keyboard()
    {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, then);
        type(Text2(), "1");
        QWidget *focused = this->control(control.toLatin1().constData());
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(!form->isVisible(), then == "closed");
        if (then != "closed")
            QCOMPARE(then == "running" ? running() : idle(), true);
        const Calls silenced = then == "running" ? Calls{"SilencePlayback"}                    // the start
            : then == "closed"                   ? Calls{"SilencePlayback", "SilencePlayback"} // close, unload
                                                 : Calls{};
        QCOMPARE(alarm.calls, silenced);
        QCOMPARE(Text2()->text(), QStringLiteral("01"));
    }

    // clang-format off
    void expiry_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("ringsOn");

        QTest::newRow("beep") << "Option1" << "BeepAlarm" << false;
        QTest::newRow("power off") << "Option2" << "PowerOffAlarm" << false;
        QTest::newRow("midi") << "Option3" << "PlayMidiAlarm:/music/alarm song.mid" << true;
    }
    // clang-format on
    void expiry()
    {
        QFETCH(QString, option);
        QFETCH(QString, action);
        QFETCH(bool, ringsOn);
        dialog.answer("/music/alarm song.mid");
        click(option.toLatin1().constData());
        type(Text2(), "1");
        click("Command1");
        tick(58.9); // 59.2 s gone: rounds to 59
        QCOMPARE(display(), QStringLiteral("00 : 00 : 01"));
        tick(0.8); // 60 s: nothing remains
        QCOMPARE(display(), QStringLiteral("00 : 00 : 00"));
        QCOMPARE(Text1()->text(), QStringLiteral("0"));
        QCOMPARE(Text2()->text(), QStringLiteral("0"));
        QCOMPARE(alarm.calls, (Calls{"SilencePlayback", action.toStdString()}));
        QCOMPARE(ringing(), ringsOn);
        QCOMPARE(idle(), !ringsOn);
        tick();
        tick();
        QCOMPARE(alarm.calls.size(), std::size_t{2}); // once per start
    }

    void zeroLengthFiresAtTheFirstTick()
    {
        click("Command1");
        tick();
        QCOMPARE(alarm.calls, (Calls{"SilencePlayback", "BeepAlarm"}));
    }

    void stopSilencesTheRinging()
    {
        chooseMidi("/music/a.mid");
        click("Command1");
        tick();
        QVERIFY(ringing());
        type(Text2(), "5"); // the boxes accept nothing while it rings
        QCOMPARE(Text2()->text(), QStringLiteral("0"));
        click("Command1"); // start again: silence first, then it plays again at once
        tick();
        click("Command2");
        QVERIFY(idle());
        QCOMPARE(alarm.calls,
            (Calls{"SilencePlayback", "PlayMidiAlarm:/music/a.mid", "SilencePlayback", "PlayMidiAlarm:/music/a.mid",
                "SilencePlayback"}));
    }

    // The window passes the countdown's word that the MIDI alarm is near on to the
    // player; when that is, is the countdown's rule.
    void midiAlarmNearReachesThePlayer()
    {
        chooseMidi("/music/a.mid");
        QSignalSpy nearSpy(form.get(), &Form1::midiAlarmNear);
        click("Command1"); // zero length: the alarm is near at once
        QCOMPARE(nearSpy.count(), 1);
        QCOMPARE(qvariant_cast<std::string>(nearSpy.at(0).at(0)), std::string("/music/a.mid"));
    }

    void optionClicks()
    {
        click("Option2");
        QVERIFY(chosen("Option2") && !chosen("Option1"));
        QVERIFY(!Label4()->isEnabled());
        chooseMidi("/music/a.mid");
        QCOMPARE(dialog.shown, 1);
        QVERIFY(Label4()->isEnabled());
        click("Option1");
        QVERIFY(!Label4()->isEnabled());
        QCOMPARE(Label4()->text(), QStringLiteral("/music/a.mid")); // the path stays
        chooseMidi("/music/b.mid");
        QCOMPARE(dialog.shown, 2);
        QCOMPARE(Label4()->text(), QStringLiteral("/music/b.mid"));
        QVERIFY(alarm.calls.empty());
    }

    // clang-format off
    void fileChoice_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("alignment");

        const QString none = QStringLiteral("midi再生ファイル");
        const QString path = QStringLiteral("/音楽/<a> & b.MID"); // markup shows as it is
        QTest::newRow("a file") << path << int(Failure::None) << "Option3" << true << path << int(Qt::AlignRight);
        QTest::newRow("nothing: back to the beep")
            << "" << int(Failure::None) << "Option1" << false << none << int(Qt::AlignHCenter);
        QTest::newRow("the placeholder: back to the beep")
            << none << int(Failure::None) << "Option1" << false << none << int(Qt::AlignHCenter);
        QTest::newRow("the dialog fails")
            << path << int(Failure::InShowOpen) << "Option3" << true << none << int(Qt::AlignHCenter);
        QTest::newRow("its answer can't be read")
            << path << int(Failure::InFileName) << "Option3" << true << none << int(Qt::AlignHCenter);
    }
    // clang-format on
    void fileChoice()
    {
        QFETCH(QString, answer);
        QFETCH(int, failure);
        QFETCH(QString, option);
        QFETCH(bool, enabled);
        QFETCH(QString, caption);
        QFETCH(int, alignment);
        dialog.answer(answer.toStdString());
        dialog.fail(static_cast<Failure>(failure));
        click("Option3");
        QCOMPARE(dialog.shown, 1);
        QVERIFY(chosen(option.toLatin1().constData()));
        QCOMPARE(Label4()->isEnabled(), enabled);
        QCOMPARE(Label4()->text(), caption);
        QCOMPARE(int(Label4()->alignment() & Qt::AlignHorizontal_Mask), alignment);
        QVERIFY(alarm.calls.empty());
    }

    void longPathShowsItsEndAndPlaysWhole()
    {
        const std::string path = "/home/user/Music/collections/classical/baroque/harpsichord/wake-up call.mid";
        chooseMidi(path);
        QVERIFY(Label4()->text().endsWith(QStringLiteral("wake-up call.mid")));
        QVERIFY(Label4()->text() != QString::fromStdString(path));
        QCOMPARE(Label4()->toolTip(), QString::fromStdString(path));
        // A screen reader reads the whole path, not what fits.
        QCOMPARE(
            QAccessible::queryAccessibleInterface(Label4())->text(QAccessible::Name), QString::fromStdString(path));
        click("Command1");
        tick();
        QCOMPARE(alarm.calls.back(), "PlayMidiAlarm:" + path);
    }

    void pasteAndInputMethodObeyTheKeyRule()
    {
        QApplication::clipboard()->setText(QStringLiteral("45"));
        Text1()->selectAll();
        Text1()->paste();
        QCOMPARE(Text1()->text(), QStringLiteral("45"));
        QCOMPARE(display(), QStringLiteral("45 : 00 : 00"));
        QApplication::clipboard()->setText(QStringLiteral("4x"));
        Text2()->selectAll();
        Text2()->paste();
        QCOMPARE(Text2()->text(), QStringLiteral("0"));

        QInputMethodEvent wide;
        wide.setCommitString(QStringLiteral("\uff13")); // a double-byte 3
        QApplication::sendEvent(Text2(), &wide);
        QCOMPARE(Text2()->text(), QStringLiteral("0"));

        click("Command1");
        Text1()->selectAll();
        QTest::keySequence(Text1(), QKeySequence::Paste);
        QInputMethodEvent digit;
        digit.setCommitString(QStringLiteral("3"));
        QApplication::sendEvent(Text2(), &digit);
        QCOMPARE(Text1()->text(), QStringLiteral("45"));
        QCOMPARE(Text2()->text(), QStringLiteral("0"));
    }

    void closeButtonSilencesAndUnloads()
    {
        click("Command1");
        alarm.calls.clear();
        click("Command3");
        QVERIFY(!form->isVisible());
        QVERIFY(!Timer1()->isActive());
        QCOMPARE(alarm.calls, (Calls{"SilencePlayback", "SilencePlayback"}));
    }

    void closingTheWindowUnloads()
    {
        type(Text2(), "1");
        click("Command1");
        alarm.calls.clear();
        QVERIFY(form->close());
        QVERIFY(!Timer1()->isActive());
        QCOMPARE(alarm.calls, Calls{"SilencePlayback"});
    }
};

QTEST_MAIN(Form1WiringTest)
#include "form1_wiring_test.moc"
