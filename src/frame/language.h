#pragma once

#include <QString>

class QObject;

// The Simplified/Traditional switch. Texts are written in Simplified Chinese and converted when shown,
// following App().LanguageId (0 Simplified, 1 Traditional, anything else: no conversion) and only while
// it differs from App().PrevLanguageId. No state of its own: App().Translator is the one instance.
class ClsLanguage {
public:
    // Converts, in place, every caption of a window and its controls: title, labels, buttons, menus,
    // tool tips, list and combo items, tab and column titles; never what the user typed into a field.
    // Walking a window needs Qt Widgets, so this is defined in frame/forms/language_forms.cpp.
    void SetLanguage(QObject* form) const;

    // The text in the chosen language; unchanged when no conversion is in force or it gives nothing.
    QString TransLanguage(const QString& text) const;

    // The conversion for LanguageId regardless of PrevLanguageId: "" for a language with none.
    QString Convert(const QString& text) const;
    // Whether TransLanguage changes anything at present.
    bool Converting() const;
};

// The language of the interface as a page names it: "zh-TW" for Traditional, else "zh-CN". A page that
// names it is drawn with the Chinese forms of the CJK fonts, not those of another language.
QString InterfaceLanguageTag();
