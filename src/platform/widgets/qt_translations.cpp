// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>
#include <QTranslator>

namespace sorabune {

QtTranslations::QtTranslations(const QLocale &locale)
{
    // The first language the user prefers decides: English there needs nothing.
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty())
        return;
    const QLocale::Language first = QLocale(languages.constFirst()).language();
    if (first == QLocale::English || first == QLocale::C || first == QLocale::AnyLanguage)
        return;
    // qtbase holds the widgets' texts; the qt_ catalogue would bring every module's.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(
            locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    if (QCoreApplication::installTranslator(translator.get()))
        m_translator = std::move(translator);
}

QtTranslations::~QtTranslations() = default;

} // namespace sorabune
