#pragma once

#include <QByteArray>

class QAbstractProxyModel;
class QObject;

// Qt's own texts (the standard buttons 是/否/确定/取消, the file dialogs) in the interface language:
// Traditional for language 1, Simplified otherwise, as the interface itself is written in Simplified.
// Also makes that language the default locale, so that standard dialogs write dates, file types and
// sizes in it. Returns whether Qt's translation for it was found; without it the buttons stay in English.
bool UseQtTranslations(int languageId);

// The locale name of the interface language: "zh_TW" for language 1, "zh_CN" otherwise.
QByteArray InterfaceLocaleName(int languageId);

// A view of a file dialog's files that writes the "date modified" column in Chinese: Qt's own dialog
// writes it by the machine's locale, which Qt reads before the program can set it. The Chinese of China
// for both scripts: its dates are written in figures, and this Qt cannot write Taiwan's times (their
// day period comes out as a letter "B").
QAbstractProxyModel* NewChineseFileDates(QObject* parent);
