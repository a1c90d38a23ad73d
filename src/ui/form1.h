// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/countdown.h"
#include "platform/widgets/qt_controls.h"

#include <QWidget>

#include <cstdint>
#include <string>

namespace sorabune {

class AlarmActions;
class Clock;
class FileDialog;

// The placeholder caption of Label4 while no MIDI file is chosen.
inline constexpr const char *kNoMidiFile = "midi再生ファイル";
// How long before a MIDI alarm the player is told to get ready: loading the
// file's instruments takes up to a second from a cold disk.
inline constexpr std::int32_t kMidiAlarmLeadSeconds = 10;

// The main window: its controls as they stand when it is created (names,
// captions, geometry, tab order, first states), wired to the countdown and the
// alarm actions, one handler per control event, and the file choice of the MIDI
// option. The layout is fixed in pixels, so the font is fixed too, at a size
// that fits every caption in its box.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    Form1(const Clock &clock, AlarmActions &alarm, FileDialog &CommonDialog1, QWidget *parent = nullptr);

    // The start-up steps. False when another copy already runs: the window has
    // unloaded and must not show.
    bool Load(bool prevInstance);

signals:
    // At the start and at each tick of a countdown with the MIDI option that
    // ends within kMidiAlarmLeadSeconds: the player may get ready for the file.
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
    void announceMidiAlarm();

    AlarmActions &m_alarm;
    FileDialog &m_CommonDialog1;
    // The controls, children of the window, made in the order of the design.
    QtOptionButton m_Option3{this};
    QtOptionButton m_Option1{this};
    QtOptionButton m_Option2{this};
    QtTimer m_Timer1{this};
    QtCommandButton m_Command3{this};
    QtCommandButton m_Command2{this};
    QtCommandButton m_Command1{this};
    QtTextBox m_Text2{this};
    QtTextBox m_Text1{this};
    QtLabel m_Label6{this};
    QtLabel m_Label5{this};
    QtLabel m_Label4{this};
    QtLabel m_Label3{this};
    QtLabel m_Label2{this};
    QtLabel m_Label1{this};
    Countdown m_countdown;
};

} // namespace sorabune
