// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/qt_controls.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QList>
#include <QScopedValueRollback>
#include <QString>
#include <QValidator>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace sorabune {

// Puts every edit of a line edit through the box's key-press handler, as if it had
// been typed: a removal counts as one backspace, each inserted UTF-16 code unit as
// one typed character. Sitting in the validator, the rule also holds for what input
// methods commit, for pasting (keyboard, context menu, middle button) and for
// dropping, none of which arrive as key events. Qt asks it about every change of
// the text, but goes by its verdict only for edits: QLineEdit::setText (which
// assistive technology calls), undo and redo go in whatever it says, so the box
// takes those back itself when the verdict was no.
class KeyFilterValidator final : public QValidator {
public:
    using QValidator::QValidator;

    void setKeyPressHandler(KeyPressHandler handler) { m_keyPress = std::move(handler); }
    // The text the box holds now; the next edit is judged against it.
    void hold(const QString &text) { m_held = text; }
    const QString &held() const { return m_held; }
    // Whether the latest text judged was let through and is `text`. Each verdict
    // answers once, so that a change no judgement preceded counts as refused.
    bool takeVerdict(const QString &text)
    {
        const bool passed = m_passed == text;
        m_passed.reset();
        return passed;
    }

    State validate(QString &input, int &position) const override;

private:
    KeyPressHandler m_keyPress;
    QString m_held;
    // No value after a refusal: an optional, since a null QString equals "".
    mutable std::optional<QString> m_passed;
};

namespace {

void run(const EventHandler &handler)
{
    if (handler)
        handler();
}

// The part of `after` that replaced a part of `before`: the longest common
// prefix and suffix stay, what lies between them was removed and inserted.
struct Edit {
    qsizetype start = 0;
    qsizetype removed = 0;
    qsizetype inserted = 0;
};

Edit diff(const QString &before, const QString &after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {prefix, before.size() - prefix - suffix, after.size() - prefix - suffix};
}

// The group is one Tab stop, at its chosen button, and the arrow keys move
// within it: the convention of Qt and of the desktops. While none is chosen,
// each button is a stop, so that the group can still be reached.
void placeTabStop(QRadioButton &member)
{
    QWidget *parent = member.parentWidget();
    if (parent == nullptr)
        return;
    const QList<QRadioButton *> group = parent->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    const bool anyChosen = std::any_of(group.begin(), group.end(), [](QRadioButton *b) { return b->isChecked(); });
    for (QRadioButton *button : group) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(!anyChosen || button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                                 : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

} // namespace

QValidator::State KeyFilterValidator::validate(QString &input, int &) const
{
    m_passed.reset();
    if (!m_keyPress || input == m_held) {
        m_passed = input;
        return Acceptable;
    }
    const Edit edit = diff(m_held, input);
    if (edit.removed > 0 && m_keyPress(kBackspace) == 0)
        return Invalid;

    // One swallowed character refuses the whole edit, so that a paste either
    // arrives as it is or not at all. A handler may replace a character.
    QString filtered = input;
    for (qsizetype i = edit.start; i < edit.start + edit.inserted; ++i) {
        const auto typed = static_cast<std::int16_t>(input[i].unicode());
        const std::int16_t delivered = m_keyPress(typed);
        if (delivered == 0)
            return Invalid;
        filtered[i] = QChar(static_cast<char16_t>(delivered));
    }
    input = filtered;
    m_passed = input;
    return Acceptable;
}

QtTextBox::QtTextBox(QWidget *parent, const char *text)
    : QLineEdit(QString::fromUtf8(text), parent)
    , m_validator(new KeyFilterValidator(this))
{
    setMaxLength(kMaxLength);
    m_validator->hold(QLineEdit::text());
    setValidator(m_validator);
    // textChanged reports every change of the text, whoever makes it; textEdited
    // would miss QLineEdit::setText called by anyone but this box.
    connect(this, &QLineEdit::textChanged, this, [this] { changed(); });
}

std::string QtTextBox::text() const
{
    return QLineEdit::text().toStdString();
}

void QtTextBox::setText(std::string_view text)
{
    putText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    run(m_change);
}

void QtTextBox::setKeyPressHandler(KeyPressHandler handler)
{
    m_validator->setKeyPressHandler(std::move(handler));
}

void QtTextBox::putText(const QString &text)
{
    const QScopedValueRollback unjudged(m_puttingText, true);
    m_validator->hold(text.left(kMaxLength));
    QLineEdit::setText(text);
}

void QtTextBox::changed()
{
    if (m_puttingText)
        return;
    const QString now = QLineEdit::text();
    if (!m_validator->takeVerdict(now)) {
        putText(m_validator->held());
        return;
    }
    m_validator->hold(now);
    run(m_change);
}

QtLabel::QtLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void QtLabel::setCaption(std::string_view caption)
{
    m_caption = caption;
    const QString full = QString::fromStdString(m_caption);
    const QString shown = fontMetrics().elidedText(full, Qt::ElideLeft, contentsRect().width());
    QLabel::setText(shown);
    setToolTip(shown == full ? QString() : full);
    // Assistive technology reads the whole caption as the name, not what fits;
    // an unshortened one it takes from the text. Set only on a change: the
    // countdown's display goes through here every second.
    const QString name = shown == full ? QString() : full;
    if (accessibleName() != name)
        setAccessibleName(name);
}

QtCommandButton::QtCommandButton(QWidget *parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
    setDefault(false);
    connect(this, &QAbstractButton::clicked, this, [this] { run(m_click); });
}

void QtCommandButton::keyPressEvent(QKeyEvent *event)
{
    // Enter on a focused button presses it, as Space does. Qt gives Enter to
    // default buttons only, and the window must have none.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QPushButton::keyPressEvent(event);
        return;
    }
    // One press a stroke: a held key does not start and stop in turn.
    if (!event->isAutoRepeat())
        click();
    event->accept();
}

QtOptionButton::QtOptionButton(QWidget *parent)
    : QRadioButton(parent)
{
    setAutoExclusive(true);
    connect(this, &QRadioButton::clicked, this, [this] { run(m_click); });
    connect(this, &QRadioButton::toggled, this, [this] { placeTabStop(*this); });
    placeTabStop(*this);
}

void QtOptionButton::setValue(bool value)
{
    if (value) {
        setChecked(true); // clears the others of the group
        run(m_click);
        return;
    }
    // The checked button of an exclusive group refuses to be unchecked; lift the
    // exclusivity for the moment it takes.
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

QtTimer::QtTimer(QObject *parent)
    : QTimer(parent)
{
    setTimerType(Qt::PreciseTimer);
    connect(this, &QTimer::timeout, this, [this] { run(m_tick); });
}

void QtTimer::setInterval(int milliseconds)
{
    stop(); // a running timer starts its period anew below
    QTimer::setInterval(milliseconds);
    apply();
}

void QtTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void QtTimer::apply()
{
    if (!m_enabled || interval() <= 0) {
        stop();
        return;
    }
    if (!isActive())
        start();
}

} // namespace sorabune
