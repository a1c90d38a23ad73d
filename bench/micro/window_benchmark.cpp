// SPDX-License-Identifier: GPL-3.0-or-later
// The same events through the real window: Form1 with its widget adapters and
// Qt widgets, on the offscreen platform, the clock and the alarm faked.
#include "fakes/fake_clock.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_alarm.h"
#include "fakes/scripted_file_dialog.h"
#include "ui/form1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace sorabune;
using namespace sorabune::testing;

struct Window {
    Window()
    {
        form.Load(false);
        Text1 = form.findChild<QLineEdit *>(QStringLiteral("Text1"));
        Text2 = form.findChild<QLineEdit *>(QStringLiteral("Text2"));
        Label6 = form.findChild<QLabel *>(QStringLiteral("Label6"));
        Timer1 = form.findChild<QTimer *>(QStringLiteral("Timer1"));
        Command1 = form.findChild<QPushButton *>(QStringLiteral("Command1"));
    }

    // A digit typed at the cursor.
    static void press(QLineEdit *box, Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(static_cast<char16_t>(key))));
        QCoreApplication::sendEvent(box, &event);
    }

    // A digit typed over the whole text of a box, as a user replaces it.
    static void type(QLineEdit *box, Qt::Key key)
    {
        box->selectAll();
        press(box, key);
    }

    // A countdown of 72 hours, far from its end. False when the window did not
    // show it: then the benchmark would measure nothing.
    bool startLongCountdown()
    {
        type(Text1, Qt::Key_7);
        press(Text1, Qt::Key_2);
        Command1->click();
        tick(1);
        return Label6->text() == QStringLiteral("71 : 59 : 59");
    }

    // What the QTimer's expiry runs, without waiting a second for it.
    void tick(int second)
    {
        clock.set(start + second);
        QMetaObject::invokeMethod(Timer1, "timeout", Qt::DirectConnection);
    }

    FakeClock clock;
    const double start = clock.now();
    RecordingAlarm alarm;
    FakeSuspendInhibitor awake;
    ScriptedFileDialog dialog;
    Form1 form{clock, alarm, awake, dialog};
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLabel *Label6 = nullptr;
    QTimer *Timer1 = nullptr;
    QPushButton *Command1 = nullptr;
};

void tickThroughWidgets(benchmark::State &state)
{
    Window window;
    if (!window.startLongCountdown())
        state.SkipWithError("the window shows no countdown");
    int second = 0;
    for (auto _ : state) {
        second = second % 2 + 1;
        window.tick(second);
    }
    benchmark::DoNotOptimize(window.Label6->text());
}
BENCHMARK(tickThroughWidgets);

void minutesChangeThroughWidgets(benchmark::State &state)
{
    Window window;
    Window::type(window.Text2, Qt::Key_5);
    if (window.Label6->text() != QStringLiteral("00 : 05 : 00"))
        state.SkipWithError("the minutes box does not reach the display");
    bool five = false;
    for (auto _ : state) {
        five = !five;
        Window::type(window.Text2, five ? Qt::Key_6 : Qt::Key_5);
    }
    benchmark::DoNotOptimize(window.Label6->text());
}
BENCHMARK(minutesChangeThroughWidgets);

// The tick, then the paint it causes: the display label and nothing else.
void tickAndRepaint(benchmark::State &state)
{
    Window window;
    window.form.show();
    if (!window.startLongCountdown())
        state.SkipWithError("the window shows no countdown");
    QCoreApplication::processEvents();
    int second = 0;
    for (auto _ : state) {
        second = second % 2 + 1;
        window.tick(second);
        QCoreApplication::processEvents();
    }
    benchmark::DoNotOptimize(window.Label6->text());
}
BENCHMARK(tickAndRepaint);

} // namespace

int main(int argc, char **argv)
{
    // No display needed; the caller may still choose another platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
