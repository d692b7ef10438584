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
// not the default locale), made Chinese: the variables to set, with their values. The variables that
// decide everything else stay as the machine has them, unless LC_ALL overrides all. The Chinese of
// China for both scripts: its dates are written in figures, and this Qt cannot write Taiwan's times
// (their day period comes out as a letter "B").
QHash<QByteArray, QByteArray> ChineseSystemLocaleVariables(const QHash<QByteArray, QByteArray>& machine);

// Sets those variables in the program's environment. Qt reads them once, at the first use of a locale
// or of the settings: this comes first in the program.
void UseChineseSystemLocale();
