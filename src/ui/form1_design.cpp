#include "ui/form1_design.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <iterator>

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

template <typename Widget>
Widget *place(QWidget &form, const char *name, const char *caption, QRect geometry)
{
    auto *widget = new Widget(QString::fromUtf8(caption), &form);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel *placeLabel(QWidget &form, const char *name, const char *caption, QRect geometry)
{
    auto *label = place<QLabel>(form, name, caption, geometry);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton *placeButton(QWidget &form, const char *name, const char *caption, QRect geometry)
{
    auto *button = place<QPushButton>(form, name, caption, geometry);
    // Enter or Escape in another control presses no button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
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
QIcon windowIcon()
{
    QImageReader reader(QStringLiteral(":/sorabune.xpm"), "XPM");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

} // namespace

Form1Design BuildForm1Design(QWidget &form)
{
    form.setObjectName(QStringLiteral("Form1"));
    form.setWindowTitle(QStringLiteral("Sorabune"));
    form.setWindowIcon(windowIcon());
    // A fixed single border: a title and a close box, no resizing.
    form.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    form.setFixedSize(twips(0, 0, 2310, 2475).size());
    form.move(0, 0); // the outer top-left corner, frame included
    form.setFont(windowFont());

    Form1Design d{};
    d.Option3 = place<QRadioButton>(form, "Option3", "midiを再生する", twips(120, 1320, 1695, 180));
    d.Option1 = place<QRadioButton>(form, "Option1", "BEEP音を鳴らす", twips(120, 840, 1575, 180));
    d.Option2 = place<QRadioButton>(form, "Option2", "電源を切る", twips(120, 1080, 1215, 180));
    d.Timer1 = new QTimer(&form); // disabled, interval 0
    d.Timer1->setObjectName(QStringLiteral("Timer1"));
    d.Command3 = placeButton(form, "Command3", "閉じる", twips(1680, 2040, 615, 375));
    d.Command2 = placeButton(form, "Command2", "停止", twips(960, 2040, 615, 375));
    // Too long for one line at any readable size: the caption breaks after タイマー,
    // while assistive technology reads it as one.
    d.Command1 = placeButton(form, "Command1", "タイマー\nスタート", twips(0, 1920, 855, 495));
    d.Command1->setAccessibleName(QStringLiteral("タイマースタート"));
    d.Text2 = place<QLineEdit>(form, "Text2", "0", twips(1080, 480, 375, 270));
    d.Text1 = place<QLineEdit>(form, "Text1", "0", twips(120, 480, 375, 270));
    d.Label6 = placeLabel(form, "Label6", "00 : 00 : 00", twips(1080, 120, 1095, 255));
    makeDisplayBox(*d.Label6);
    d.Label5 = placeLabel(form, "Label5", "MIDI :", twips(120, 1590, 495, 255));
    d.Label4 = placeLabel(form, "Label4", kNoMidiFile, twips(600, 1560, 1575, 255));
    makeDisplayBox(*d.Label4);
    d.Label4->setEnabled(false);
    d.Label3 = placeLabel(form, "Label3", "経過時間\u3000:", twips(120, 150, 975, 255));
    d.Label2 = placeLabel(form, "Label2", "分後に", twips(1560, 600, 615, 255));
    d.Label1 = placeLabel(form, "Label1", "時間", twips(600, 600, 375, 255));
    // The boxes take their accessible names from the captions beside them.
    d.Label1->setBuddy(d.Text1);
    d.Label2->setBuddy(d.Text2);

    // Labels take no focus; the option group comes last, by tab index.
    QWidget *const order[] = {d.Text1, d.Text2, d.Command1, d.Command2, d.Command3, d.Option2, d.Option1, d.Option3};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    d.Text1->setFocus(Qt::OtherFocusReason);
    return d;
}

} // namespace sorabune
