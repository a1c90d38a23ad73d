// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/countdown.h"
#include "platform/widgets/qt_controls.h"

#include <QLabel>
#include <QWidget>

#include <string>
#include <string_view>

namespace sorabune {

class AlarmActions;
class Clock;
class FileDialog;
class SuspendInhibitor;

// The placeholder caption of Label4 while no MIDI file is chosen.
inline constexpr std::string_view kNoMidiFile = "midi再生ファイル";
// Why the machine stays awake, as the desktop's power settings show it beside the program.
inline constexpr std::string_view kAwakeReason = "タイマー動作中";

// The controls of the window, its children, under the names the code and the
// tests find them by. Qt keeps siblings in the order they are made: where two
// overlap by a pixel (Label3 over Label6, Label4 over Label5), the later one is
// drawn on top, and assistive technology lists them in this order.
struct Form1Controls {
    QWidget *const form;
    QtOptionButton Option3{form};
    QtOptionButton Option1{form};
    QtOptionButton Option2{form};
    QtTimer Timer1{form};
    QtCommandButton Command3{form};
    QtCommandButton Command2{form};
    QtCommandButton Command1{form};
    QtTextBox Text2{form, "0"};
    QtTextBox Text1{form, "0"};
    QtLabel Label6{form};
    QLabel Label5{form}; // the captions no code changes
    QtLabel Label4{form};
    QLabel Label3{form};
    QLabel Label2{form};
    QLabel Label1{form};
};

// The main window: its controls as they stand when it is created (names,
// captions, geometry, tab order, first states), wired to the countdown and the
// alarm actions, one handler per control event, and the file choice of the MIDI
// option. The layout is fixed in pixels, so the font is fixed too, at a size
// that fits every caption in its box.
class Form1 final : public QWidget, private Form1Controls {
    Q_OBJECT
public:
    Form1(const Clock &clock, AlarmActions &alarm, SuspendInhibitor &awake, FileDialog &CommonDialog1,
        QWidget *parent = nullptr);

    // The start-up steps. False when another copy already runs: the window has
    // unloaded and must not show.
    bool Load(bool prevInstance);

signals:
    // A countdown towards the MIDI alarm has little left: the player may get
    // ready for the file (see Countdown::setMidiAlarmNearHandler).
    void midiAlarmNear(const std::string &path);

protected:
    // Whatever closes the window (the close button, the window manager, a
    // termination signal) unloads it; the unload is never cancelled.
    void closeEvent(QCloseEvent *event) override;

private:
    void layOut();
    void Unload();
    void closeClick();
    void ChooseMidiFile();

    AlarmActions &m_alarm;
    FileDialog &m_CommonDialog1;
    Countdown m_countdown;
};

} // namespace sorabune
