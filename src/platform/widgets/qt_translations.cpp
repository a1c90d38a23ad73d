// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>

namespace sorabune {

std::unique_ptr<QTranslator> installQtTranslations(const QLocale &locale)
{
    // The first language the user prefers decides: English there needs nothing.
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty())
        return nullptr;
    const QLocale::Language first = QLocale(languages.constFirst()).language();
    if (first == QLocale::English || first == QLocale::C || first == QLocale::AnyLanguage)
        return nullptr;
    // qtbase holds the widgets' texts; the qt_ catalogue would bring every module's.
    // A translator removes itself from the application when it goes.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(
            locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

} // namespace sorabune
