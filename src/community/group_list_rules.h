#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

#include "online/group_form_names.h"

// One association of the local mirror "group_lst".
struct GroupRow {
    qint32 id = 0;
    QString name;
    QVariant reputation;
    QVariant members;
    QString founder;
};

// What the association list window does, without the window: its rows, its selection rule, and the
// commands to join and to found an association. Messages are shown as they stand, untranslated.
namespace group_list_rules {

// Every row of "group_lst", in the table's order.
QList<GroupRow> ReadGroups();
// The text of the column with this caption for the row numbered `number` (from 1); columns the list does
// not know stay empty.
QString CellText(const QString& caption, const GroupRow& row, int number);

// The number of position titles (the "tempinfo" rows of pageflag 5), at most 255.
quint8 PositionCount();
// A typed association name as the server keeps it: the reply separators taken out, blanks trimmed.
QString CleanGroupName(const QString& typed);

// What follows a change of a row's check box: nothing at all while the user belongs to an association;
// otherwise whether the join button is enabled, and whether every other row is unchecked.
struct Selection {
    bool joinEnabled = false;
    bool uncheckOthers = false;
};
std::optional<Selection> OnItemCheck(qint32 currentGroup, bool nowChecked);

// Asks the server to let the logged-on user join the association `group`, and says whether the request
// was submitted.
void RequestToJoin(qint32 group);
// Asks for a name and founds the association with the user as its head. On success the user's
// association is the new one and "group_lst" has its row (reputation 500, one member): true, and the
// window refills. Cancelled, or refused with a message: false, and nothing has changed.
bool FoundGroup();

}  // namespace group_list_rules
