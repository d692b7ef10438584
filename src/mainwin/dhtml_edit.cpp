#include "mainwin/dhtml_edit.h"

#include <exception>

namespace {

// How many values the old component was handed: the command alone, with the default execute option,
// or with the option and an empty 16-bit argument.
struct KeyCommand {
    const char* key;
    int command;
    int arguments;
};

constexpr KeyCommand kTable[] = {
    {"b_copy", decmd::kCopy, 1},
    {"b_paste", decmd::kPaste, 3},
    {"b_cut", decmd::kCut, 1},
    {"b_delete", decmd::kDelete, 1},
    {"b_redo", decmd::kRedo, 1},
    {"b_undo", decmd::kUndo, 1},
    {"b_b", decmd::kBold, 3},
    {"b_i", decmd::kItalic, 3},
    {"b_u", decmd::kUnderline, 1},
    {"b_left", decmd::kJustifyLeft, 1},
    {"b_center", decmd::kJustifyCenter, 1},
    {"b_right", decmd::kJustifyRight, 1},
    {"b_unent", decmd::kOutdent, 1},
    {"b_ent", decmd::kIndent, 1},
    {"b_order", decmd::kOrderList, 1},
    {"b_item", decmd::kUnorderList, 1},
    {"b_img", decmd::kImage, 1},
    {"b_bg", decmd::kInsertTable, 2},
    {"b_selectall", decmd::kSelectAll, 1},
    {"b_find", decmd::kFindText, 2},
    {"b_font", decmd::kFont, 1},
};

}  // namespace

void ClsDhtmlEdit::EditCmd(DhtmlEditor& editor, const QString& key) {
    for (const KeyCommand& entry : kTable) {
        if (key != QLatin1String(entry.key)) continue;
        if (entry.arguments == 1)
            editor.ExecCommand(entry.command);
        else if (entry.arguments == 2)
            editor.ExecCommand(entry.command, {decmd::kExecDefault});
        else
            editor.ExecCommand(entry.command, {decmd::kExecDefault, QVariant::fromValue(qint16(0))});
        return;
    }
}

bool ClsDhtmlEdit::ButtonEnable(DhtmlEditor& editor, int command) {
    int status = decmd::kStatusNotSupported;
    try {
        status = editor.QueryStatus(command);
    } catch (const std::exception&) {
        return false;
    }
    return status == decmd::kStatusEnabled || status == decmd::kStatusLatched ||
           status == decmd::kStatusNinched;
}

const std::vector<std::pair<QString, int>>& ClsDhtmlEdit::StatusButtons() {
    static const std::vector<std::pair<QString, int>> buttons{
        {QStringLiteral("b_copy"), decmd::kCopy},
        {QStringLiteral("b_paste"), decmd::kPaste},
        {QStringLiteral("b_cut"), decmd::kCut},
        {QStringLiteral("b_delete"), decmd::kDelete},
        {QStringLiteral("b_redo"), decmd::kRedo},
        {QStringLiteral("b_undo"), decmd::kUndo},
        {QStringLiteral("b_b"), decmd::kBold},
        {QStringLiteral("b_i"), decmd::kItalic},
        {QStringLiteral("b_u"), decmd::kUnderline},
        {QStringLiteral("b_left"), decmd::kJustifyLeft},
        {QStringLiteral("b_center"), decmd::kJustifyCenter},
        {QStringLiteral("b_right"), decmd::kJustifyRight},
        {QStringLiteral("b_unent"), decmd::kOutdent},
        {QStringLiteral("b_ent"), decmd::kIndent},
        {QStringLiteral("b_order"), decmd::kOrderList},
        {QStringLiteral("b_item"), decmd::kUnorderList},
        {QStringLiteral("b_img"), decmd::kImage},
        {QStringLiteral("b_font"), decmd::kFont},
    };
    return buttons;
}
