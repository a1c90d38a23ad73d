#pragma once

#include "core/countdown.h"
#include "platform/widgets/widget_command_button.h"
#include "platform/widgets/widget_label.h"
#include "platform/widgets/widget_option_button.h"
#include "platform/widgets/widget_text_box.h"
#include "platform/widgets/widget_timer.h"
#include "ui/form1_design.h"

#include <QWidget>

namespace sorabune {

class AlarmActions;
class Clock;
class FileDialog;

// The main window: its controls wired to the countdown and the alarm actions,
// one handler per control event, and the file choice of the MIDI option.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    Form1(const Clock &clock, AlarmActions &alarm, FileDialog &CommonDialog1, QWidget *parent = nullptr);

    // The start-up steps. False when another copy already runs: the window has
    // unloaded and must not show.
    bool Load(bool prevInstance);

signals:
    // A MIDI file has been chosen; the player may get ready for it.
    void midiFileChosen();

protected:
    // Whatever closes the window (the close button, the window manager, a
    // termination signal) unloads it; the unload is never cancelled.
    void closeEvent(QCloseEvent *event) override;

private:
    void Unload();
    void CloseClick();
    void ChooseMidiFile();

    AlarmActions &m_alarm;
    FileDialog &m_CommonDialog1;
    Form1Design m_design;
    WidgetTextBox m_Text1;
    WidgetTextBox m_Text2;
    WidgetLabel m_Label6;
    WidgetLabel m_Label4;
    WidgetCommandButton m_Command1;
    WidgetCommandButton m_Command2;
    WidgetCommandButton m_Command3;
    WidgetOptionButton m_Option1;
    WidgetOptionButton m_Option2;
    WidgetOptionButton m_Option3;
    WidgetTimer m_Timer1;
    Countdown m_countdown;
};

} // namespace sorabune
