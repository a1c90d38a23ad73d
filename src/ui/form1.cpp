#include "ui/form1.h"

#include "alarm/alarm_actions.h"
#include "platform/file_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdint>
#include <string>

namespace sorabune {

Form1::Form1(const Clock &clock, AlarmActions &alarm, FileDialog &CommonDialog1, QWidget *parent)
    : QWidget(parent)
    , m_alarm(alarm)
    , m_CommonDialog1(CommonDialog1)
    , m_design(BuildForm1Design(*this))
    , m_Text1(*m_design.Text1)
    , m_Text2(*m_design.Text2)
    , m_Label6(*m_design.Label6)
    , m_Label4(*m_design.Label4)
    , m_Command1(*m_design.Command1)
    , m_Command2(*m_design.Command2)
    , m_Command3(*m_design.Command3)
    , m_Option1(*m_design.Option1)
    , m_Option2(*m_design.Option2)
    , m_Option3(*m_design.Option3)
    , m_Timer1(*m_design.Timer1)
    , m_countdown({m_Text1, m_Text2, m_Label6, m_Label4, m_Command1, m_Timer1, m_Option1, m_Option2}, clock, alarm)
{
    // Every event handler of the window; no other event of any control has one.
    m_Command1.setClickHandler([this] { m_countdown.StartCountdown(); });
    m_Command2.setClickHandler([this] { m_countdown.StopCountdown(); });
    m_Command3.setClickHandler([this] { CloseClick(); });
    m_Option1.setClickHandler([this] { m_Label4.setEnabled(false); });
    m_Option2.setClickHandler([this] { m_Label4.setEnabled(false); });
    m_Option3.setClickHandler([this] { ChooseMidiFile(); });
    m_Text1.setKeyPressHandler([this](std::int16_t key) { return m_countdown.FilterKey(key); });
    m_Text1.setChangeHandler([this] { m_countdown.ApplyHoursChange(); });
    m_Text2.setKeyPressHandler([this](std::int16_t key) { return m_countdown.FilterKey(key); });
    m_Text2.setChangeHandler([this] { m_countdown.ApplyMinutesChange(); });
    m_Timer1.setTimerHandler([this] { m_countdown.TickCountdown(); });
}

bool Form1::Load(bool prevInstance)
{
    m_Option1.setValue(true); // its click greys out Label4
    if (prevInstance) {
        Unload();
        return false;
    }
    return true;
}

void Form1::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
}

void Form1::Unload()
{
    // The timer first, so that no tick runs against a window going away.
    m_Timer1.setEnabled(false);
    m_alarm.SilencePlayback();
}

void Form1::CloseClick()
{
    m_alarm.SilencePlayback();
    close();
}

void Form1::ChooseMidiFile()
{
    m_Label4.setEnabled(true);
    // Any error from here on ends the choice without a word, and what was done so
    // far stays: no handler of this window reports an error to the user, and the
    // MIDI option may stay chosen with the placeholder as its file.
    try {
        m_CommonDialog1.showOpen();
        m_Label4.setCaption(m_CommonDialog1.fileName());
        m_Label4.setAlignment(Alignment::Right);
        const std::string caption = m_Label4.caption();
        if (caption == kNoMidiFile || caption.empty()) {
            m_Option3.setValue(false);
            m_Option1.setValue(true);
            m_Label4.setCaption(kNoMidiFile);
            m_Label4.setAlignment(Alignment::Centre);
            return;
        }
    } catch (...) {
        return;
    }
    emit midiFileChosen();
}

} // namespace sorabune
