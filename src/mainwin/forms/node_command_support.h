#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QToolBar;
class QTreeWidgetItem;

// What the node commands of the main window share: the modal dialogs they ask through, the right
// check and the guard that keeps other toolbar commands out while one runs.
namespace node_commands {

// Rights 3 and 6 allow a change of the member; anything else refuses it.
inline bool MayChange(quint8 right) {
    return right == 3 || right == 6;
}

// The member form's answer after a save: "father%mother%name(s)%True|False".
struct MemberFormAnswer {
    QString father;
    QStringList names;  // one, or several with the several-children input style
    bool male = true;
};
// Shows Frm子女 in the mode (the shared member loaded by the caller); pageCount, when given, goes to
// FormParamString2. Nothing when the form was cancelled or is not there.
std::optional<MemberFormAnswer> AskMemberForm(const QString& mode, const std::optional<QString>& pageCount);

// Shows a new FrmLittle in the mode with the request already in FormParamString; nothing when it was
// cancelled (an empty answer) or is not there.
std::optional<QString> AskLittle(int runType);

// Runs a command; a database, file or tree failure ends it with a message instead of leaving the
// window. Faults of the program itself (logic errors) are not caught.
void RunReported(const std::function<void()>& command);

// The book, main and editor toolbars stay disabled while a command that must not be interrupted
// runs, and come back as they were however it ends.
class ToolbarsDisabled {
public:
    ToolbarsDisabled(QToolBar* book, QToolBar* main, QToolBar* editor);
    ~ToolbarsDisabled();
    ToolbarsDisabled(const ToolbarsDisabled&) = delete;
    ToolbarsDisabled& operator=(const ToolbarsDisabled&) = delete;

private:
    QToolBar* bars_[3];
    bool enabled_[3];
};

// Whether the member has children: shown under its node, or in the book (a member at the end of a
// page has its children on the next one).
bool HasChildren(const QTreeWidgetItem* node, const QString& member);

}  // namespace node_commands
