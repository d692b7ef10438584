#include "frame/file_services.h"

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

QVariant ClsCmDialog::CmDgSelectFile(const QString& filter, const QString& text, quint8 kind) {
    if (kind == kColor) {
        const auto color = UI().ChooseColor();
        return color ? QVariant(qint32(*color)) : QVariant();
    }
    if (kind == kPrintRange) {
        // The page bounds were 16-bit; a count outside them, or below the first page, is a range no
        // print dialog can offer, so nothing is shown.
        int lastPage = 0;
        try {
            lastPage = CInt(Val(text));
        } catch (const VbError&) {
            return {};
        }
        if (lastPage < 1) return {};
        const auto fromPage = UI().ChoosePrintFromPage(lastPage);
        return fromPage ? QVariant::fromValue(qint16(*fromPage)) : QVariant();
    }
    if (kind != kOpenFile && kind != kSaveFile) return {};
    const QString translated = App().Translator ? App().Translator->TransLanguage(filter) : filter;
    // The dialog keeps its own title, as it always has.
    const QString chosen = kind == kOpenFile ? UI().GetOpenFileName(QString(), translated, text)
                                             : UI().GetSaveFileName(QString(), translated, text);
    return chosen.isNull() ? QStringLiteral("") : chosen;
}

QString ClsFolderSelect::FolderSelected(const QString& title) {
    return UI().BrowseForFolder(title);
}
