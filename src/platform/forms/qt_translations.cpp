#include "platform/forms/qt_translations.h"

#include <QCoreApplication>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
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

class ChineseFileDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        constexpr int kDateColumn = 3;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == kDateColumn)
            // Spelled out: the locale data's short form writes 09:07 for the 9:07 a Chinese desktop shows.
            return files->lastModified(mapToSource(index)).toString(QStringLiteral("yyyy/M/d H:mm"));
        return QIdentityProxyModel::data(index, role);
    }
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

QAbstractProxyModel* NewChineseFileDates(QObject* parent) {
    return new ChineseFileDates(parent);
}
