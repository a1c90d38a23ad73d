#include "platform/widgets/widget_text_box.h"

#include "platform/widgets/key_filter_validator.h"

#include <QLineEdit>

#include <utility>

namespace sorabune {

WidgetTextBox::WidgetTextBox(QLineEdit &edit)
    : m_edit(edit)
    , m_validator(new KeyFilterValidator(&edit))
{
    m_edit.setMaxLength(kMaxLength);
    m_validator->accept(m_edit.text());
    m_edit.setValidator(m_validator);
    // textEdited comes from the user only (typing, input methods, paste, drop,
    // undo), never from setText.
    QObject::connect(&m_edit, &QLineEdit::textEdited, &m_context, [this] { edited(); });
}

std::string WidgetTextBox::text() const
{
    return m_edit.text().toStdString();
}

void WidgetTextBox::setText(std::string_view text)
{
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    m_validator->accept(value.left(kMaxLength));
    m_edit.setText(value);
    if (m_change)
        m_change();
}

void WidgetTextBox::setChangeHandler(EventHandler handler)
{
    m_change = std::move(handler);
}

void WidgetTextBox::setKeyPressHandler(KeyPressHandler handler)
{
    m_validator->setKeyPressHandler(std::move(handler));
}

void WidgetTextBox::edited()
{
    // Undo and redo go in whatever the validator says: take back what it refused.
    if (!m_validator->approved(m_edit.text())) {
        m_edit.setText(m_validator->accepted());
        return;
    }
    m_validator->accept(m_edit.text());
    if (m_change)
        m_change();
}

} // namespace sorabune
