#include "platform/forms/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The texts of the file dialogs that Qt's own translation of this version leaves in English: the type
// column of a folder, a drive and what cannot be told.
class FileTypeTexts : public QTranslator {
public:
    explicit FileTypeTexts(bool traditional) : traditional_(traditional) {}

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0 || !sourceText) return QString();
        struct Text {
            const char* english;
            const char* simplified;
            const char* traditional;
        };
        static const Text kTexts[] = {{"Folder", "文件夹", "資料夾"}, {"File Folder", "文件夹", "資料夾"},
                                      {"Drive", "驱动器", "磁碟機"},  {"Unknown", "未知", "未知"},
                                      {"Alias", "别名", "別名"},      {"Shortcut", "快捷方式", "捷徑"}};
        for (const Text& t : kTexts)
            if (qstrcmp(sourceText, t.english) == 0)
                return QString::fromUtf8(traditional_ ? t.traditional : t.simplified);
        return QString();
    }
    bool isEmpty() const override { return false; }

private:
    bool traditional_;
};

QLocale InterfaceLocale(int languageId) {
    return languageId == 1 ? QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan)
                           : QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
}

}  // namespace

QByteArray InterfaceLocaleName(int languageId) {
    return languageId == 1 ? QByteArrayLiteral("zh_TW") : QByteArrayLiteral("zh_CN");
}

bool UseQtTranslations(int languageId) {
    static QTranslator* installed = nullptr;
    static QTranslator* fileTypes = nullptr;
    static QString installedLocale;
    const QString locale = QString::fromLatin1(InterfaceLocaleName(languageId));
    QLocale::setDefault(InterfaceLocale(languageId));
    if (installed && installedLocale == locale) return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    for (QTranslator* old : {installed, fileTypes}) {
        if (!old) continue;
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    // Installed last, asked first: only the texts Qt's own translation lacks are answered there.
    QCoreApplication::installTranslator(translator);
    fileTypes = new FileTypeTexts(languageId == 1);
    fileTypes->setParent(QCoreApplication::instance());
    QCoreApplication::installTranslator(fileTypes);
    installed = translator;
    installedLocale = locale;
    return true;
}

QHash<QByteArray, QByteArray> ChineseSystemLocaleVariables(const QHash<QByteArray, QByteArray>& machine) {
    const QByteArray name = QByteArrayLiteral("zh_CN.UTF-8");
    // LC_ALL, where set, decides every category (the dates too); otherwise LC_TIME decides the dates.
    if (!machine.value(QByteArrayLiteral("LC_ALL")).isEmpty()) return {{QByteArrayLiteral("LC_ALL"), name}};
    return {{QByteArrayLiteral("LC_TIME"), name}};
}

void UseChineseSystemLocale() {
    QHash<QByteArray, QByteArray> machine;
    machine.insert(QByteArrayLiteral("LC_ALL"), qgetenv("LC_ALL"));
    const QHash<QByteArray, QByteArray> wanted = ChineseSystemLocaleVariables(machine);
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) qputenv(it.key().constData(), it.value());
}
