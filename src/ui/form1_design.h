#pragma once

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace sorabune {

// The widgets of the main window as they stand when it is created, before its
// load step runs: names, captions, geometry, tab order and first states. The
// layout is fixed in pixels, so the font is fixed too, at a size that fits every
// caption in its box.
struct Form1Design {
    QRadioButton *Option3;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QTimer *Timer1;
    QPushButton *Command3;
    QPushButton *Command2;
    QPushButton *Command1;
    QLineEdit *Text2;
    QLineEdit *Text1;
    QLabel *Label6;
    QLabel *Label5;
    QLabel *Label4;
    QLabel *Label3;
    QLabel *Label2;
    QLabel *Label1;
};

// Lays out `form` as the window and creates its controls as its children, in
// the order of the design.
Form1Design BuildForm1Design(QWidget &form);

// The placeholder caption of Label4 while no MIDI file is chosen.
inline constexpr const char *kNoMidiFile = "midi再生ファイル";

} // namespace sorabune
