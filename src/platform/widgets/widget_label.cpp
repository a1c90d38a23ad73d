#include "platform/widgets/widget_label.h"

#include <QFontMetrics>
#include <QLabel>

namespace sorabune {

WidgetLabel::WidgetLabel(QLabel &label)
    : m_label(label)
    , m_caption(label.text().toStdString())
{
    m_label.setTextFormat(Qt::PlainText);
    m_label.setFocusPolicy(Qt::NoFocus);
    setCaption(m_caption);
}

std::string WidgetLabel::caption() const
{
    return m_caption;
}

void WidgetLabel::setCaption(std::string_view caption)
{
    m_caption = caption;
    const QString full = QString::fromStdString(m_caption);
    const QString shown = m_label.fontMetrics().elidedText(full, Qt::ElideLeft, m_label.contentsRect().width());
    m_label.setText(shown);
    m_label.setToolTip(shown == full ? QString() : full);
    // Assistive technology reads the whole caption as the name, not what fits;
    // an unshortened one it takes from the text. Set only on a change: the
    // countdown's display goes through here every second.
    const QString name = shown == full ? QString() : full;
    if (m_label.accessibleName() != name)
        m_label.setAccessibleName(name);
}

bool WidgetLabel::isEnabled() const
{
    return m_label.isEnabled();
}

void WidgetLabel::setEnabled(bool enabled)
{
    m_label.setEnabled(enabled);
}

void WidgetLabel::setAlignment(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Left:
        m_label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        break;
    case Alignment::Right:
        m_label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Alignment::Centre:
        m_label.setAlignment(Qt::AlignCenter);
        break;
    }
}

} // namespace sorabune
