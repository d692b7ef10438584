#include "community/forms/board_editor.h"

#include <QTextCursor>
#include <QTextImageFormat>

#include "platform/interaction/interaction.h"

BoardEditor::BoardEditor(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    setTabChangesFocus(true);
}

void BoardEditor::ExecCommand(int command, const QVariantList&) {
    switch (command) {
        case decmd::kCopy:
            copy();
            break;
        case decmd::kCut:
            cut();
            break;
        case decmd::kPaste:
            paste();
            break;
        case decmd::kDelete: {
            QTextCursor cursor = textCursor();
            if (cursor.hasSelection())
                cursor.removeSelectedText();
            else
                cursor.deleteChar();
            break;
        }
        case decmd::kUndo:
            undo();
            break;
        case decmd::kRedo:
            redo();
            break;
        case decmd::kSelectAll:
            selectAll();
            break;
        case decmd::kBold:
        case decmd::kItalic:
        case decmd::kUnderline:
            toggle(command);
            break;
        case decmd::kImage:
            insertImage();
            break;
        default:
            break;
    }
    setFocus();
}

int BoardEditor::QueryStatus(int command) {
    const bool selection = textCursor().hasSelection();
    const QTextCharFormat format = currentCharFormat();
    const auto enabled = [](bool on) { return on ? decmd::kStatusEnabled : decmd::kStatusDisabled; };
    const auto latched = [](bool on) { return on ? decmd::kStatusLatched : decmd::kStatusEnabled; };
    switch (command) {
        case decmd::kCopy:
        case decmd::kCut:
        case decmd::kDelete:
            return enabled(selection || command == decmd::kDelete);
        case decmd::kPaste:
            return enabled(canPaste());
        case decmd::kUndo:
            return enabled(document()->isUndoAvailable());
        case decmd::kRedo:
            return enabled(document()->isRedoAvailable());
        case decmd::kBold:
            return latched(format.fontWeight() >= QFont::Bold);
        case decmd::kItalic:
            return latched(format.fontItalic());
        case decmd::kUnderline:
            return latched(format.fontUnderline());
        case decmd::kImage:
        case decmd::kSelectAll:
            return decmd::kStatusEnabled;
        default:
            return decmd::kStatusNotSupported;
    }
}

void BoardEditor::toggle(int command) {
    QTextCharFormat change;
    const QTextCharFormat now = currentCharFormat();
    if (command == decmd::kBold)
        change.setFontWeight(now.fontWeight() >= QFont::Bold ? QFont::Normal : QFont::Bold);
    if (command == decmd::kItalic) change.setFontItalic(!now.fontItalic());
    if (command == decmd::kUnderline) change.setFontUnderline(!now.fontUnderline());
    mergeCurrentCharFormat(change);
}

// Pictures travel as addresses: the desk sees what the address shows.
void BoardEditor::insertImage() {
    bool cancelled = false;
    const QString address = UI().InputBox(QStringLiteral("图片的网址（http://…）："),
                                          QStringLiteral("插入图片"), QStringLiteral("http://"), &cancelled)
                                .trimmed();
    if (cancelled ||
        !(address.startsWith(QLatin1String("http://")) || address.startsWith(QLatin1String("https://"))) ||
        address.size() <= 8)
        return;
    QTextImageFormat image;
    image.setName(address);
    textCursor().insertImage(image);
}
