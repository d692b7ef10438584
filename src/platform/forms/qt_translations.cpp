#include "platform/forms/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool UseQtTranslations(int languageId) {
    static QTranslator* installed = nullptr;
    static QString installedLocale;
    const QString locale = languageId == 1 ? QStringLiteral("zh_TW") : QStringLiteral("zh_CN");
    if (installed && installedLocale == locale) return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    installedLocale = locale;
    return true;
}
