// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>

#include <memory>

class QTranslator;

namespace sorabune {

// Qt's own texts (the file dialog's labels and buttons, the boxes' context menu)
// in the user's language, for as long as this object lives. Make it after the
// QApplication. Where the language is English (Qt's own) or C, nothing is
// loaded: start-up there costs no file and no memory.
class QtTranslations {
public:
    explicit QtTranslations(const QLocale &locale = QLocale::system());
    ~QtTranslations();
    QtTranslations(const QtTranslations &) = delete;
    QtTranslations &operator=(const QtTranslations &) = delete;

private:
    std::unique_ptr<QTranslator> m_translator; // removes itself from the application
};

} // namespace sorabune
