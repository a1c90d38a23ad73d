#pragma once

#include "platform/controls.h"

#include <string>

class QLabel;

namespace sorabune {

// A label over a QLabel. Captions show as plain text, so a path with '<' or '&'
// shows as it is. A caption too wide for the box keeps its end in view (for a
// path, the file name) and shows in full as the tooltip and as the accessible
// name; caption() always gives the whole text.
class WidgetLabel final : public Label {
public:
    explicit WidgetLabel(QLabel &label);

    std::string caption() const override;
    void setCaption(std::string_view caption) override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    void setAlignment(Alignment alignment) override;

private:
    QLabel &m_label;
    std::string m_caption;
};

} // namespace sorabune
