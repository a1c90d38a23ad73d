// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include "alarm/alarm_actions.h"
#include "platform/file_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace sorabune {

namespace {

// Positions and sizes are given in twips, 15 to the pixel at 96 dpi; Qt's
// high-DPI scaling takes the pixels from there.
constexpr int kTwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height)
{
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

// IPA Gothic (fonts-ipafont-gothic) at 11 px is the largest size at which every
// caption fits its box; at 12 px Label3, Label5 and Label6 overflow.
QFont windowFont()
{
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(11);
    return font;
}

void place(QWidget &widget, const char *name, QRect geometry)
{
    widget.setObjectName(QString::fromLatin1(name));
    widget.setGeometry(geometry);
}

void place(QAbstractButton &button, const char *name, const char *caption, QRect geometry)
{
    place(button, name, geometry);
    button.setText(QString::fromUtf8(caption));
}

// After the geometry and the frame: a caption is shortened to the room it has.
void place(QtLabel &label, const char *name, const char *caption, QRect geometry)
{
    place(label, name, geometry);
    label.setCaption(caption);
}

// A bordered display box on the highlighted-text colour (white in the usual
// schemes), in every state of the window, the disabled one included.
void makeDisplayBox(QLabel &label)
{
    label.setFrameStyle(QFrame::Box | QFrame::Plain);
    label.setLineWidth(1);
    label.setAlignment(Qt::AlignCenter);
    QPalette palette = label.palette();
    const QColor background = QApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Window, background);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
}

// Read as XPM, named: left to guess, Qt would load every image format plugin
// to ask each whether the file is theirs.
QIcon loadWindowIcon()
{
    QImageReader reader(QStringLiteral(":/sorabune.xpm"), "XPM");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

} // namespace

Form1::Form1(const Clock &clock, AlarmActions &alarm, FileDialog &CommonDialog1, QWidget *parent)
    : QWidget(parent)
    , m_alarm(alarm)
    , m_CommonDialog1(CommonDialog1)
    , m_countdown({m_Text1, m_Text2, m_Label6, m_Label4, m_Command1, m_Timer1, m_Option1, m_Option2}, clock, alarm)
{
    layOut();
    // Every event handler of the window; no other event of any control has one.
    m_Command1.setClickHandler([this] {
        m_countdown.StartCountdown();
        announceMidiAlarm();
    });
    m_Command2.setClickHandler([this] { m_countdown.StopCountdown(); });
    m_Command3.setClickHandler([this] { closeClick(); });
    m_Option1.setClickHandler([this] { m_Label4.setEnabled(false); });
    m_Option2.setClickHandler([this] { m_Label4.setEnabled(false); });
    m_Option3.setClickHandler([this] { ChooseMidiFile(); });
    m_Text1.setKeyPressHandler([this](std::int16_t key) { return m_countdown.FilterKey(key); });
    m_Text1.setChangeHandler([this] { m_countdown.ApplyHoursChange(); });
    m_Text2.setKeyPressHandler([this](std::int16_t key) { return m_countdown.FilterKey(key); });
    m_Text2.setChangeHandler([this] { m_countdown.ApplyMinutesChange(); });
    m_Timer1.setTimerHandler([this] {
        m_countdown.TickCountdown();
        announceMidiAlarm();
    });
}

void Form1::layOut()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sorabune"));
    setWindowIcon(loadWindowIcon());
    // A fixed single border: a title and a close box, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 2310, 2475).size());
    move(0, 0); // the outer top-left corner, frame included
    setFont(windowFont());

    place(m_Option3, "Option3", "midiを再生する", twips(120, 1320, 1695, 180));
    place(m_Option1, "Option1", "BEEP音を鳴らす", twips(120, 840, 1575, 180));
    place(m_Option2, "Option2", "電源を切る", twips(120, 1080, 1215, 180));
    m_Timer1.setObjectName(QStringLiteral("Timer1")); // disabled, interval 0
    place(m_Command3, "Command3", "閉じる", twips(1680, 2040, 615, 375));
    place(m_Command2, "Command2", "停止", twips(960, 2040, 615, 375));
    // Too long for one line at any readable size: the caption breaks after タイマー,
    // while assistive technology reads it as one.
    place(m_Command1, "Command1", "タイマー\nスタート", twips(0, 1920, 855, 495));
    m_Command1.setAccessibleName(QStringLiteral("タイマースタート"));
    place(m_Text2, "Text2", twips(1080, 480, 375, 270));
    m_Text2.setText("0");
    place(m_Text1, "Text1", twips(120, 480, 375, 270));
    m_Text1.setText("0");
    makeDisplayBox(m_Label6);
    place(m_Label6, "Label6", "00 : 00 : 00", twips(1080, 120, 1095, 255));
    place(m_Label5, "Label5", "MIDI :", twips(120, 1590, 495, 255));
    makeDisplayBox(m_Label4);
    place(m_Label4, "Label4", kNoMidiFile, twips(600, 1560, 1575, 255));
    m_Label4.setEnabled(false);
    place(m_Label3, "Label3", "経過時間\u3000:", twips(120, 150, 975, 255));
    place(m_Label2, "Label2", "分後に", twips(1560, 600, 615, 255));
    place(m_Label1, "Label1", "時間", twips(600, 600, 375, 255));
    // The boxes take their accessible names from the captions beside them.
    m_Label1.setBuddy(&m_Text1);
    m_Label2.setBuddy(&m_Text2);

    // Labels take no focus; the option group comes last, by tab index.
    QWidget *const order[] = {
        &m_Text1, &m_Text2, &m_Command1, &m_Command2, &m_Command3, &m_Option2, &m_Option1, &m_Option3};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    m_Text1.setFocus(Qt::OtherFocusReason);
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

void Form1::closeClick()
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
}

void Form1::announceMidiAlarm()
{
    // Running, not ringing, towards the MIDI alarm.
    if (m_Timer1.isEnabled() && !m_Command1.isEnabled() && m_Option3.value()
        && m_countdown.secondsLeft() <= kMidiAlarmLeadSeconds)
        emit midiAlarmNear(m_Label4.caption());
}

} // namespace sorabune
