// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include "alarm/alarm_actions.h"
#include "platform/file_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

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

template<typename Button>
void placeButton(Button &button, const char *name, const char *caption, QRect geometry)
{
    place(button.widget(), name, geometry);
    button.setText(QString::fromUtf8(caption));
}

void placeCaption(QLabel &label, const char *name, const char *caption, QRect geometry)
{
    place(label, name, geometry);
    label.setTextFormat(Qt::PlainText);
    label.setText(QString::fromUtf8(caption));
}

// A bordered display box on the highlighted-text colour (white in the usual
// schemes), in every state of the window, the disabled one included. The
// caption goes in last, shortened to the room the box leaves it.
void placeDisplayBox(QtLabel &label, const char *name, std::string_view caption, QRect geometry)
{
    QWidget &widget = label.widget();
    place(widget, name, geometry);
    label.setFrameStyle(QFrame::Box | QFrame::Plain);
    label.setAlignment(Qt::AlignCenter);
    QPalette palette = widget.palette();
    const QColor background = QApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Window, background);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
    label.setCaption(caption);
}

// The window icon, drawn in packaging/icons. Built in as XPM data, it is read
// by Qt's own XPM reader; from a file or a resource, Qt would first look
// through the image format plugins for one that claims it.
namespace xpm {
#include "icons/sorabune.xpm"
} // namespace xpm

} // namespace

Form1::Form1(
    const Clock &clock, AlarmActions &alarm, SuspendInhibitor &awake, FileDialog &CommonDialog1, QWidget *parent)
    : QWidget(parent)
    , Form1Controls{this}
    , m_alarm(alarm)
    , m_CommonDialog1(CommonDialog1)
    , m_countdown(CountdownControls(static_cast<Form1Controls &>(*this)), clock, alarm, awake)
{
    layOut();
    // The handlers of the window's other events; the countdown has set its own.
    Command3.setClickHandler([this] { closeClick(); });
    Option1.setClickHandler([this] { Label4.setEnabled(false); });
    Option2.setClickHandler([this] { Label4.setEnabled(false); });
    Option3.setClickHandler([this] { ChooseMidiFile(); });
    m_countdown.setMidiAlarmNearHandler([this](const std::string &path) { emit midiAlarmNear(path); });
}

void Form1::layOut()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sorabune"));
    setWindowIcon(QIcon(QPixmap(xpm::sorabune)));
    // A fixed single border: a title and a close box, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 2310, 2475).size());
    move(0, 0); // the outer top-left corner, frame included
    setFont(windowFont());

    placeButton(Option3, "Option3", "midiを再生する", twips(120, 1320, 1695, 180));
    placeButton(Option1, "Option1", "BEEP音を鳴らす", twips(120, 840, 1575, 180));
    placeButton(Option2, "Option2", "電源を切る", twips(120, 1080, 1215, 180));
    Timer1.setObjectName(QStringLiteral("Timer1")); // disabled, interval 0
    placeButton(Command3, "Command3", "閉じる", twips(1680, 2040, 615, 375));
    placeButton(Command2, "Command2", "停止", twips(960, 2040, 615, 375));
    // Too long for one line at any readable size: the caption breaks after タイマー,
    // while assistive technology reads it as one.
    placeButton(Command1, "Command1", "タイマー\nスタート", twips(0, 1920, 855, 495));
    Command1.widget().setAccessibleName(QStringLiteral("タイマースタート"));
    place(Text2.widget(), "Text2", twips(1080, 480, 375, 270));
    place(Text1.widget(), "Text1", twips(120, 480, 375, 270));
    placeDisplayBox(Label6, "Label6", kZeroDisplay, twips(1080, 120, 1095, 255));
    placeCaption(Label5, "Label5", "MIDI :", twips(120, 1590, 495, 255));
    placeDisplayBox(Label4, "Label4", kNoMidiFile, twips(600, 1560, 1575, 255));
    Label4.setEnabled(false);
    placeCaption(Label3, "Label3", "経過時間\u3000:", twips(120, 150, 975, 255));
    placeCaption(Label2, "Label2", "分後に", twips(1560, 600, 615, 255));
    placeCaption(Label1, "Label1", "時間", twips(600, 600, 375, 255));
    // The boxes take their accessible names from the captions beside them.
    Label1.setBuddy(&Text1.widget());
    Label2.setBuddy(&Text2.widget());

    // Labels take no focus; the option group comes last, by tab index.
    QWidget *const order[] = {&Text1.widget(), &Text2.widget(), &Command1.widget(), &Command2.widget(),
        &Command3.widget(), &Option2.widget(), &Option1.widget(), &Option3.widget()};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Text1.widget().setFocus(Qt::OtherFocusReason);
}

bool Form1::Load(bool prevInstance)
{
    Option1.setValue(true); // its click greys out Label4
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
    Timer1.setEnabled(false);
    m_alarm.SilencePlayback();
}

void Form1::closeClick()
{
    m_alarm.SilencePlayback();
    close();
}

void Form1::ChooseMidiFile()
{
    Label4.setEnabled(true);
    // Any error from here on ends the choice without a word, and what was done so
    // far stays: no handler of this window reports an error to the user, and the
    // MIDI option may stay chosen with the placeholder as its file.
    try {
        m_CommonDialog1.showOpen();
        Label4.setCaption(m_CommonDialog1.fileName());
        Label4.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const std::string caption = Label4.caption();
        if (caption == kNoMidiFile || caption.empty()) {
            Option3.setValue(false);
            Option1.setValue(true);
            Label4.setCaption(kNoMidiFile);
            Label4.setAlignment(Qt::AlignCenter);
        }
    } catch (...) {
    }
}

} // namespace sorabune
