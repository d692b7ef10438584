#pragma once

#include <QString>
#include <QVariant>

// The file and folder dialogs the forms use, through UI() so that tests answer them.

class ClsCmDialog {
public:
    enum Kind : quint8 { kColor = 1, kOpenFile = 4, kPrintRange = 5, kSaveFile = 6 };

    // filter: "description|pattern|..." pairs, translated into the interface language before use.
    // text: the proposed file name (kinds 4 and 6).
    // Kinds 4 and 6 give the chosen path as text, "" when cancelled. Every other kind gives an empty
    // (null) value and shows nothing; the colour and print-range dialogs are not offered by the
    // dialog seam.
    QVariant CmDgSelectFile(const QString& filter, const QString& text, quint8 kind);
};

class ClsFolderSelect {
public:
    // The chosen folder, "" when cancelled. The caller translates the title.
    QString FolderSelected(const QString& title);
};
