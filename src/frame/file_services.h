#pragma once

#include <QString>
#include <QVariant>

// The file and folder dialogs the forms use, through UI() so that tests answer them.

class ClsCmDialog {
public:
    enum Kind : quint8 { kColor = 1, kOpenFile = 4, kPrintRange = 5, kSaveFile = 6 };

    // filter: "description|pattern|..." pairs, translated into the interface language before use.
    // text: the proposed file name (kinds 4 and 6); the page count (kind 5).
    // Kinds 4 and 6 give the chosen path as text, "" when cancelled. Kind 1 gives the colour as a 32-bit
    // number (red + green * 256 + blue * 65536), kind 5 the first page to print as a 16-bit number; both
    // give an empty (null) value on cancel, and kind 5 shows nothing for a page count below 1 or beyond
    // 16 bits. Every other kind gives an empty value and shows nothing.
    QVariant CmDgSelectFile(const QString& filter, const QString& text, quint8 kind);
};

class ClsFolderSelect {
public:
    // The chosen folder, "" when cancelled. The caller translates the title.
    QString FolderSelected(const QString& title);
};
