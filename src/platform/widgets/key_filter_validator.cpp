#include "platform/widgets/key_filter_validator.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace sorabune {

namespace {
constexpr std::int16_t kBackspace = 8;

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
} // namespace

KeyFilterValidator::KeyFilterValidator(QObject *parent)
    : QValidator(parent)
{
}

void KeyFilterValidator::setKeyPressHandler(KeyPressHandler handler)
{
    m_keyPress = std::move(handler);
}

void KeyFilterValidator::accept(const QString &text)
{
    m_accepted = text;
}

QValidator::State KeyFilterValidator::validate(QString &input, int &) const
{
    if (!m_keyPress || input == m_accepted) {
        m_approved = input;
        return Acceptable;
    }
    const Edit edit = diff(m_accepted, input);
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
    m_approved = input;
    return Acceptable;
}

} // namespace sorabune
