// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>

namespace sorabune {

// Qt's own texts (the file dialog's labels and buttons, the boxes' context menu)
// in the user's language, installed for as long as the translator lives; null
// when nothing is to be had. Call after the QApplication is made. Where the
// language is English (Qt's own) or C, nothing is loaded: start-up there costs
// no file and no memory.
std::unique_ptr<QTranslator> installQtTranslations(const QLocale &locale = QLocale::system());

} // namespace sorabune
