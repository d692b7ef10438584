#pragma once

#include <QString>
#include <QVariantList>
#include <utility>
#include <vector>

// The editing commands of the page editor by the numbers the old editing component gave them, so that
// the toolbar keys, the status table and the callers keep one vocabulary whatever engine edits.
namespace decmd {
constexpr int kBold = 5000;
constexpr int kCopy = 5002;
constexpr int kCut = 5003;
constexpr int kDelete = 5004;
constexpr int kFindText = 5008;
constexpr int kFont = 5009;
constexpr int kHyperlink = 5016;
constexpr int kImage = 5017;
constexpr int kIndent = 5018;
constexpr int kInsertTable = 5022;
constexpr int kItalic = 5023;
constexpr int kJustifyCenter = 5024;
constexpr int kJustifyLeft = 5025;
constexpr int kJustifyRight = 5026;
constexpr int kOrderList = 5030;
constexpr int kOutdent = 5031;
constexpr int kPaste = 5032;
constexpr int kRedo = 5033;
constexpr int kSelectAll = 5035;
constexpr int kUnderline = 5048;
constexpr int kUndo = 5049;
constexpr int kUnorderList = 5051;

// Command statuses: 1 disabled, 3 enabled, 7 latched (on, as bold over bold text), 11 ninched (mixed).
constexpr int kStatusNotSupported = 0;
constexpr int kStatusDisabled = 1;
constexpr int kStatusEnabled = 3;
constexpr int kStatusLatched = 7;
constexpr int kStatusNinched = 11;

// Execute options: the command's default behaviour, or without asking the user.
constexpr int kExecDefault = 0;
constexpr int kExecDontPrompt = 2;
}  // namespace decmd

// An editor that runs the numbered commands. `rest` holds what follows the command number: nothing,
// the execute option, or the option and the command's argument.
class DhtmlEditor {
public:
    virtual ~DhtmlEditor() = default;
    virtual void ExecCommand(int command, const QVariantList& rest = {}) = 0;
    // One of the decmd statuses; may throw when the editor cannot tell.
    virtual int QueryStatus(int command) = 0;
};

// The editing-command table: one toolbar or menu key to one command. Holds no state.
class ClsDhtmlEdit {
public:
    // Runs the command of the key; an unknown key (and "b_table") does nothing.
    void EditCmd(DhtmlEditor& editor, const QString& key);

    // Whether the editor offers the command now: statuses 3, 7 and 11; anything else, or a failing
    // query, counts as not available.
    static bool ButtonEnable(DhtmlEditor& editor, int command);

    // The editing buttons that follow a command's status, in the order they are refreshed.
    static const std::vector<std::pair<QString, int>>& StatusButtons();
};
