// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application_setup.h"
#include "ui/form1.h"

#include "fakes/fake_clock.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_alarm.h"
#include "fakes/scripted_file_dialog.h"
#include "support/form1_driver.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace sorabune;

// The window as it opens: each control's kind, caption and place in client
// pixels, the font, the accessible names, the first states and the tab order.
class Form1LayoutTest : public QObject, private testing::Form1Driver {
    Q_OBJECT

public:
    Form1LayoutTest()
        : Form1Driver(form, clock, dialog)
    {
    }

private:
    testing::FakeClock clock;
    testing::RecordingAlarm alarm;
    testing::FakeSuspendInhibitor awake;
    testing::ScriptedFileDialog dialog;
    std::unique_ptr<Form1> form;

    static QString caption(const QWidget *widget)
    {
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            return label->text();
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            return button->text();
        return qobject_cast<const QLineEdit *>(widget)->text();
    }

    // The room a caption has inside its control, as the style draws it.
    static QRect captionBox(QWidget *widget)
    {
        if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            return radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
        }
        if (auto *push = qobject_cast<QPushButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(push);
            return push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
        }
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
            return edit->style()
                ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                .marginsRemoved(edit->textMargins());
        }
        return widget->contentsRect();
    }

private slots:
    void initTestCase()
    {
        setUpApplication();
        form = std::make_unique<Form1>(clock, alarm, awake, dialog);
    }

    void window()
    {
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Sorabune"));
        QCOMPARE(form->size(), QSize(154, 165));
        QCOMPARE(form->minimumSize(), QSize(154, 165));
        QCOMPARE(form->maximumSize(), QSize(154, 165));
        QCOMPARE(form->pos(), QPoint(0, 0));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->windowIcon().pixmap(64, 64).size(), QSize(64, 64));
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Sorabune"));
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.00"));
        QCOMPARE(QApplication::desktopFileName(), QStringLiteral("org.sorabune.Sorabune"));
    }

    // clang-format off
    void controls_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");

        // In the order of creation.
        QTest::newRow("Option3") << "QRadioButton" << "midiを再生する" << QRect(8, 88, 113, 12);
        QTest::newRow("Option1") << "QRadioButton" << "BEEP音を鳴らす" << QRect(8, 56, 105, 12);
        QTest::newRow("Option2") << "QRadioButton" << "電源を切る" << QRect(8, 72, 81, 12);
        QTest::newRow("Command3") << "QPushButton" << "閉じる" << QRect(112, 136, 41, 25);
        QTest::newRow("Command2") << "QPushButton" << "停止" << QRect(64, 136, 41, 25);
        QTest::newRow("Command1") << "QPushButton" << "タイマー\nスタート" << QRect(0, 128, 57, 33);
        QTest::newRow("Text2") << "QLineEdit" << "0" << QRect(72, 32, 25, 18);
        QTest::newRow("Text1") << "QLineEdit" << "0" << QRect(8, 32, 25, 18);
        QTest::newRow("Label6") << "QLabel" << "00 : 00 : 00" << QRect(72, 8, 73, 17);
        QTest::newRow("Label5") << "QLabel" << "MIDI :" << QRect(8, 106, 33, 17);
        QTest::newRow("Label4") << "QLabel" << "midi再生ファイル" << QRect(40, 104, 105, 17);
        QTest::newRow("Label3") << "QLabel" << "経過時間\u3000:" << QRect(8, 10, 65, 17);
        QTest::newRow("Label2") << "QLabel" << "分後に" << QRect(104, 40, 41, 17);
        QTest::newRow("Label1") << "QLabel" << "時間" << QRect(40, 40, 25, 17);
    }
    // clang-format on
    void controls()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        const QByteArray name = QTest::currentDataTag();
        QWidget *widget = control(name.constData());
        QVERIFY(widget != nullptr);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
        QCOMPARE(Form1LayoutTest::caption(widget), caption);
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY(widget->isVisibleTo(form.get()));
    }

    void captionsFitWithTheChosenFont()
    {
        for (QWidget *widget : form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QFontInfo used(widget->font());
            QCOMPARE(used.family(), QStringLiteral("IPAGothic"));
            QCOMPARE(used.pixelSize(), 11);
            const QFontMetrics metrics(widget->font());
            const QRect box = captionBox(widget);
            const QStringList lines = caption(widget).split(QLatin1Char('\n'));
            int widest = 0;
            for (const QString &line : lines)
                widest = std::max(widest, metrics.horizontalAdvance(line));
            const int height = metrics.height() * int(lines.size());
            qInfo("%-8s caption %3d x %2d px in a box of %3d x %2d", qPrintable(widget->objectName()), widest, height,
                box.width(), box.height());
            QVERIFY2(widest <= box.width(), qPrintable(widget->objectName()));
            QVERIFY2(height <= box.height() + 1, qPrintable(widget->objectName())); // a pixel of descent may touch
        }
    }

    // What assistive technology reads for each control.
    // clang-format off
    void accessibleNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Form1") << "Sorabune";
        QTest::newRow("Text1") << "時間"; // from the label beside it
        QTest::newRow("Text2") << "分後に";
        QTest::newRow("Command1") << "タイマースタート"; // one caption, though shown on two lines
        QTest::newRow("Command2") << "停止";
        QTest::newRow("Command3") << "閉じる";
        QTest::newRow("Option1") << "BEEP音を鳴らす";
        QTest::newRow("Option2") << "電源を切る";
        QTest::newRow("Option3") << "midiを再生する";
        QTest::newRow("Label6") << "00 : 00 : 00";
        QTest::newRow("Label4") << "midi再生ファイル";
    }
    // clang-format on
    void accessibleNames()
    {
        QFETCH(QString, name);
        const QByteArray tag = QTest::currentDataTag();
        QWidget *widget = tag == "Form1" ? form.get() : control(tag.constData());
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    void labelsArePlainBorderedAndUnfocusable()
    {
        for (QLabel *label : form->findChildren<QLabel *>()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }
        for (const char *name : {"Label6", "Label4"}) {
            auto *box = control<QLabel>(name);
            QCOMPARE(box->frameShape(), QFrame::Box);
            QCOMPARE(box->lineWidth(), 1);
            QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            QVERIFY(box->autoFillBackground());
            const QColor white = QApplication::palette().color(QPalette::HighlightedText);
            QCOMPARE(box->palette().color(QPalette::Active, QPalette::Window), white);
            QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Window), white);
        }
    }

    void statesBeforeLoad()
    {
        QVERIFY(!control("Label4")->isEnabled());
        auto *timer = form->findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(timer != nullptr);
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        for (const char *name : {"Option1", "Option2", "Option3"})
            QVERIFY(!control<QRadioButton>(name)->isChecked());
        for (const char *name : {"Command1", "Command2", "Command3"})
            QVERIFY(control(name)->isEnabled());
        for (const char *name : {"Text1", "Text2"})
            QCOMPARE(control<QLineEdit>(name)->maxLength(), 2);
    }

    void openedWindow()
    {
        QVERIFY(form->Load(false));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QVERIFY(control<QRadioButton>("Option1")->isChecked());
        QVERIFY(!control("Label4")->isEnabled());
        QCOMPARE(control<QLabel>("Label4")->text(), QStringLiteral("midi再生ファイル"));
        QCOMPARE(QApplication::focusWidget(), control("Text1"));
        QVERIFY(alarm.calls.empty());
    }

    // The option group is one stop, at its chosen button; the arrow keys choose
    // within it.
    // clang-format off
    void tabOrder_data()
    {
        QTest::addColumn<QList<int>>("arrows"); // pressed on the chosen button first
        QTest::addColumn<QString>("stop");
        QTest::newRow("as loaded") << QList<int>{} << "Option1";
        QTest::newRow("down") << QList<int>{Qt::Key_Down} << "Option2";
        QTest::newRow("down, up") << QList<int>{Qt::Key_Down, Qt::Key_Up} << "Option1";
        QTest::newRow("up at the top") << QList<int>{Qt::Key_Up} << "Option1";
    }
    // clang-format on
    void tabOrder()
    {
        QFETCH(QList<int>, arrows);
        QFETCH(QString, stop);
        control<QRadioButton>("Option1")->setChecked(true);
        control("Option1")->setFocus();
        for (const int key : arrows)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(QApplication::focusWidget()->objectName(), stop);
        QVERIFY(control<QRadioButton>(stop.toLatin1().constData())->isChecked());

        Text1()->setFocus();
        QStringList visited;
        for (int i = 0; i < 6; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        visited << QApplication::focusWidget()->objectName();
        QCOMPARE(visited, (QStringList{"Text1", "Text2", "Command1", "Command2", "Command3", stop, "Text1"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), stop);
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
