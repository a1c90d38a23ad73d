// SPDX-License-Identifier: GPL-3.0-or-later
#include "bare_window.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace sorabune::bench {

namespace {

QLabel *addLabel(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

// A bordered white box with centred text, like the countdown display and the file label.
QLabel *addBox(QWidget *parent, const QString &text, const QRect &geometry)
{
    QLabel *box = addLabel(parent, text, geometry);
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    box->setAlignment(Qt::AlignCenter);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    box->setPalette(palette);
    return box;
}

} // namespace

BareWindow::BareWindow()
{
    setWindowTitle(QStringLiteral("Sorabune"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(154, 165);
    move(0, 0);

    addLabel(this, QStringLiteral("経過時間　:"), {8, 10, 65, 17});
    m_display = addBox(this, QStringLiteral("00 : 00 : 00"), {72, 8, 73, 17});
    auto *hours = new QLineEdit(QStringLiteral("0"), this);
    hours->setGeometry(8, 32, 25, 18);
    hours->setMaxLength(2);
    addLabel(this, QStringLiteral("時間"), {40, 40, 25, 17});
    auto *minutes = new QLineEdit(QStringLiteral("0"), this);
    minutes->setGeometry(72, 32, 25, 18);
    minutes->setMaxLength(2);
    addLabel(this, QStringLiteral("分後に"), {104, 40, 41, 17});
    auto *beep = new QRadioButton(QStringLiteral("BEEP音を鳴らす"), this);
    beep->setGeometry(8, 56, 105, 12);
    beep->setChecked(true);
    (new QRadioButton(QStringLiteral("電源を切る"), this))->setGeometry(8, 72, 81, 12);
    (new QRadioButton(QStringLiteral("midiを再生する"), this))->setGeometry(8, 88, 113, 12);
    addLabel(this, QStringLiteral("MIDI :"), {8, 106, 33, 17});
    addBox(this, QStringLiteral("midi再生ファイル"), {40, 104, 105, 17})->setEnabled(false);
    auto *start = new QPushButton(QStringLiteral("タイマー\nスタート"), this);
    start->setGeometry(0, 128, 57, 33);
    (new QPushButton(QStringLiteral("停止"), this))->setGeometry(64, 136, 41, 25);
    (new QPushButton(QStringLiteral("閉じる"), this))->setGeometry(112, 136, 41, 25);
    hours->setFocus();

    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &BareWindow::tick);
    connect(start, &QPushButton::clicked, &m_timer, qOverload<>(&QTimer::start));
}

void BareWindow::tick()
{
    if (++m_ticks == 1)
        QApplication::beep();
    m_display->setText(QStringLiteral("00 : 00 : %1").arg(m_ticks % 60, 2, 10, QLatin1Char('0')));
}

} // namespace sorabune::bench
