#pragma once

#include "platform/controls.h"

#include <QString>
#include <QValidator>

namespace sorabune {

// Puts every edit of a line edit through the box's key-press handler, as if it had
// been typed: a removal counts as one backspace, each inserted UTF-16 code unit as
// one typed character. Sitting in the validator, the rule also holds for what input
// methods commit, for pasting (keyboard, context menu, middle button) and for
// dropping, none of which arrive as key events. Text set from code passes by
// accept() and is never filtered.
class KeyFilterValidator final : public QValidator {
    Q_OBJECT
public:
    explicit KeyFilterValidator(QObject *parent = nullptr);

    void setKeyPressHandler(KeyPressHandler handler);
    // The text the box holds now; the next edit is judged against it.
    void accept(const QString &text);
    const QString &accepted() const { return m_accepted; }
    // Whether the last edit judged left `text`: false for an edit that was
    // refused but went in anyway (undo and redo don't ask).
    bool approved(const QString &text) const { return text == m_approved; }

    State validate(QString &input, int &position) const override;

private:
    KeyPressHandler m_keyPress;
    QString m_accepted;
    mutable QString m_approved;
};

} // namespace sorabune
