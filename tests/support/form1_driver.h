// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/form1.h"

#include "fakes/fake_clock.h"
#include "fakes/scripted_file_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>

#include <memory>
#include <string>

namespace sorabune::testing {

// Drives the window's real widgets by their names, as a user would; Timer1's
// ticks are delivered by hand after moving the scripted clock, so a test
// decides when each second passes. A test class derives from it and hands
// over its own window, clock and dialog.
class Form1Driver {
protected:
    Form1Driver(const std::unique_ptr<Form1> &form, FakeClock &clock, ScriptedFileDialog &dialog)
        : m_form(form)
        , m_clock(clock)
        , m_dialog(dialog)
    {
    }

    template<typename T = QWidget>
    T *control(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromLatin1(name));
    }
    QLineEdit *Text1() const { return control<QLineEdit>("Text1"); }
    QLineEdit *Text2() const { return control<QLineEdit>("Text2"); }
    QLabel *Label4() const { return control<QLabel>("Label4"); }
    QString display() const { return control<QLabel>("Label6")->text(); }
    QTimer *Timer1() const { return control<QTimer>("Timer1"); }
    bool chosen(const char *option) const { return control<QRadioButton>(option)->isChecked(); }

    bool idle() const { return !Timer1()->isActive() && control<QPushButton>("Command1")->isEnabled(); }
    bool running() const { return Timer1()->isActive() && !control<QPushButton>("Command1")->isEnabled(); }
    bool ringing() const { return Timer1()->isActive() && control<QPushButton>("Command1")->isEnabled(); }

    void click(const char *name)
    {
        QWidget *widget = control(name);
        // A radio button takes clicks on its indicator and caption only.
        const QPoint at = qobject_cast<QRadioButton *>(widget) ? QPoint(6, 6) : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    // One tick of Timer1, `seconds` on the clock after the last: how long the
    // window was busy with it in ms, or -1 (and no tick) while the timer is off.
    qint64 tick(double seconds = 1.0)
    {
        m_clock.advance(seconds);
        if (!Timer1()->isActive())
            return -1;
        QElapsedTimer busy;
        busy.start();
        QTimerEvent event(Timer1()->timerId());
        QApplication::sendEvent(Timer1(), &event);
        return busy.elapsed();
    }
    // Keys added after what the box holds.
    static void type(QLineEdit *box, const QString &keys)
    {
        box->setFocus();
        box->end(false);
        QTest::keyClicks(box, keys);
    }
    // Keys in place of what the box holds.
    static void retype(QLineEdit *box, const QString &keys)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, keys);
    }
    static void erase(QLineEdit *box)
    {
        box->end(false);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(box, Qt::Key_Backspace);
    }
    void chooseMidi(const std::string &path)
    {
        m_dialog.answer(path);
        click("Option3");
        QVERIFY(chosen("Option3"));
    }

private:
    const std::unique_ptr<Form1> &m_form;
    FakeClock &m_clock;
    ScriptedFileDialog &m_dialog;
};

} // namespace sorabune::testing
