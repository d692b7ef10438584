#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

class Cls_User;

// One member (or applicant) of the user's association, from the local mirror "member_lst".
struct MemberRow {
    qint32 memberId = 0;  // the member's account id
    qint32 positionId = 0;
    qint32 state = 0;  // kApplicant while the request to join waits
    QString nickname;
    QVariant reputation;
    qint32 lastGroupId = 0;
};

// What the association members window does, without the window: its rows, which buttons a checked row
// offers, and the officers' and the user's commands. Each command asks the server first and changes the
// local tables only where the server answered that it was done; a command the server did not carry out
// says so. Messages are shown as they stand, untranslated.
namespace member_list_rules {

inline constexpr qint32 kApplicant = 1;

// Every row of "member_lst", in the table's order.
QList<MemberRow> ReadMembers();
// The position titles and the association names that the cells name.
struct Lookups {
    QHash<qint64, QString> titles;
    QHash<qint64, QString> groupNames;
};
Lookups ReadLookups();
// The text of the column with this caption for the row numbered `number` (from 1); columns the list does
// not know stay empty.
QString CellText(const QString& caption, const MemberRow& row, int number, const Lookups& lookups);
// The user's position is taken from the user's own row, when the list has it.
void TakeOwnPosition(const QList<MemberRow>& rows, Cls_User& user);

// The association's name: from "group_lst", else from the server, whose answer adds the association's
// row when it names at least one member. "" when neither knows it.
QString GroupName(qint32 group);
QString WindowCaption(const QString& groupName);

// The last button either expels the checked member or, on the user's own row, leaves the association.
enum class ExitMode { Expel, Leave };
QString ExitCaption(ExitMode mode);

struct Buttons {
    bool approve = false;
    bool refuse = false;
    bool raise = false;
    bool exit = false;
    ExitMode mode = ExitMode::Expel;
};
// The buttons after a row's check box changed, for a user among `positions` position titles. A checked
// row leaves every other row unchecked.
Buttons OnItemCheck(const Cls_User& user, quint8 positions, const MemberRow& row, bool nowChecked);

void Approve(const QList<qint32>& members);
void Refuse(const QList<qint32>& members);
// Members already at the highest position they may reach (the count of titles less one) and applicants
// are passed over.
void Raise(const QList<qint32>& members);
// True when the user has left the association: the members of its accounts are detached from the server,
// the user belongs nowhere and the local member list is emptied.
bool Leave();
// Expels the member; the book's members it created pass to the account the server names.
void Expel(qint32 member);

}  // namespace member_list_rules
