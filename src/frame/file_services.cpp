#include "frame/file_services.h"

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/interaction/interaction.h"

QVariant ClsCmDialog::CmDgSelectFile(const QString& filter, const QString& text, quint8 kind) {
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
