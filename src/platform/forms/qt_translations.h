#pragma once

#include <QByteArray>
#include <QHash>

// Qt's own texts (the standard buttons 是/否/确定/取消, the file dialogs) in the interface language:
// Traditional for language 1, Simplified otherwise, as the interface itself is written in Simplified.
// Also makes that language the default locale, so that standard dialogs write dates, file types and
// sizes in it. Returns whether Qt's translation for it was found; without it the buttons stay in English.
bool UseQtTranslations(int languageId);

// The locale name of the interface language: "zh_TW" for language 1, "zh_CN" otherwise.
QByteArray InterfaceLocaleName(int languageId);

// What Qt reads as the machine's locale for dates (the file dialog's "date modified" column follows it,
// not the default locale), set to the interface language: the variables to set, with their values. The
// variables that decide everything else stay as the machine has them, unless LC_ALL overrides all.
QHash<QByteArray, QByteArray> ChineseSystemLocaleVariables(int languageId,
                                                           const QHash<QByteArray, QByteArray>& machine);

// Sets those variables in the program's environment; to be called before the application object exists,
// as Qt reads them once.
void UseChineseSystemLocale(int languageId);
