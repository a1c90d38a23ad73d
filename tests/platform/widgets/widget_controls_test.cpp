#include "platform/widgets/widget_command_button.h"
#include "platform/widgets/widget_label.h"
#include "platform/widgets/widget_option_button.h"
#include "platform/widgets/widget_timer.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <string>

using sorabune::Alignment;

class WidgetControlsTest : public QObject {
    Q_OBJECT

private:
    // Three option buttons on one window, each counting its clicks.
    struct Options {
        Options()
            : one(QStringLiteral("one"), &window)
            , two(QStringLiteral("two"), &window)
            , three(QStringLiteral("three"), &window)
        {
            one.setGeometry(0, 0, 100, 20);
            two.setGeometry(0, 20, 100, 20);
            three.setGeometry(0, 40, 100, 20);
            for (int i = 0; i < 3; ++i)
                options[i].setClickHandler([this, i] { ++clicks[i]; });
            window.show();
            window.activateWindow();
            ready = QTest::qWaitForWindowActive(&window);
        }
        // Where a click hits a radio button: on its indicator.
        static void click(QRadioButton &button) { QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(6, 10)); }
        QWidget window;
        QRadioButton one, two, three;
        sorabune::WidgetOptionButton options[3]{sorabune::WidgetOptionButton(one), sorabune::WidgetOptionButton(two),
                                                sorabune::WidgetOptionButton(three)};
        int clicks[3] = {0, 0, 0};
        bool ready = false;
        std::vector<bool> values() const { return {options[0].value(), options[1].value(), options[2].value()}; }
        // Which buttons Tab stops at.
        std::vector<bool> tabStops() const
        {
            std::vector<bool> stops;
            for (const QRadioButton *button : {&one, &two, &three})
                stops.push_back((button->focusPolicy() & Qt::TabFocus) != 0);
            return stops;
        }
    };

private slots:
    void optionSetFromCodeClicksOnceAndClearsTheOthers()
    {
        Options o;
        o.options[1].setValue(true);
        QCOMPARE(o.values(), (std::vector<bool>{false, true, false}));
        o.options[2].setValue(true);
        QCOMPARE(o.values(), (std::vector<bool>{false, false, true}));
        QCOMPARE(o.tabStops(), (std::vector<bool>{false, false, true})); // the group is one stop
        QCOMPARE(o.clicks[1], 1);
        QCOMPARE(o.clicks[2], 1);
    }

    void optionSetFalseClearsWithoutAClick()
    {
        Options o;
        o.options[2].setValue(true);
        o.options[2].setValue(false);
        QCOMPARE(o.values(), (std::vector<bool>{false, false, false}));
        QCOMPARE(o.tabStops(), (std::vector<bool>{true, true, true})); // none chosen: still reachable
        QCOMPARE(o.clicks[2], 1);
        // The group still works afterwards.
        o.options[0].setValue(true);
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
        o.options[0].setValue(true);
        o.one.setFocus();
        QTest::keyClick(&o.one, Qt::Key_Down);
        QCOMPARE(o.values(), (std::vector<bool>{false, true, false}));
        QCOMPARE(o.clicks[1], 1);
    }

    void commandButtonClicksOnlyWhileEnabled()
    {
        QPushButton push(QStringLiteral("go"));
        sorabune::WidgetCommandButton button(push);
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
    void commandButtonKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(int, clicks);
        QPushButton push(QStringLiteral("go"));
        QVERIFY(!push.autoDefault()); // Enter is ours to give, not a default button's
        sorabune::WidgetCommandButton button(push);
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
        QLabel widget;
        widget.setGeometry(0, 0, 400, 20);
        sorabune::WidgetLabel label(widget);
        const std::string caption = "/music/<b>rock</b> & roll.mid";
        label.setCaption(caption);
        QCOMPARE(widget.textFormat(), Qt::PlainText);
        QCOMPARE(widget.text(), QString::fromStdString(caption));
        QCOMPARE(label.caption(), caption);
        QVERIFY(widget.toolTip().isEmpty());
    }

    void longCaptionKeepsItsEndInView()
    {
        QLabel widget;
        widget.setGeometry(0, 0, 105, 17);
        sorabune::WidgetLabel label(widget);
        const std::string path = "/home/someone/music/collections/very/deep/folder/アラーム.mid";
        label.setCaption(path);
        label.setAlignment(Alignment::Right);
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

    void labelAlignmentAndEnabled_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("horizontal");
        QTest::newRow("left") << int(Alignment::Left) << int(Qt::AlignLeft);
        QTest::newRow("right (1)") << int(Alignment::Right) << int(Qt::AlignRight);
        QTest::newRow("centred (2)") << int(Alignment::Centre) << int(Qt::AlignHCenter);
    }
    void labelAlignmentAndEnabled()
    {
        QFETCH(int, alignment);
        QFETCH(int, horizontal);
        QLabel widget;
        sorabune::WidgetLabel label(widget);
        label.setAlignment(static_cast<Alignment>(alignment));
        QCOMPARE(int(widget.alignment() & Qt::AlignHorizontal_Mask), horizontal);
        label.setEnabled(false);
        QVERIFY(!widget.isEnabled());
        QVERIFY(!label.isEnabled());
    }

    void timerIsPreciseAndTicksOnlyEnabledWithAnInterval()
    {
        QTimer qtimer;
        sorabune::WidgetTimer timer(qtimer);
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
        QCOMPARE(timer.interval(), 1000);
    }

    void settingTheIntervalRestartsThePeriod()
    {
        QTimer qtimer;
        sorabune::WidgetTimer timer(qtimer);
        timer.setInterval(60000);
        timer.setEnabled(true);
        QTest::qWait(200);
        QVERIFY(qtimer.remainingTime() <= 59850);
        timer.setInterval(60000);
        QVERIFY(qtimer.remainingTime() >= 59900);
        timer.setEnabled(true); // already on: no restart needed, none done
        QVERIFY(qtimer.isActive());
    }
};

QTEST_MAIN(WidgetControlsTest)
#include "widget_controls_test.moc"
