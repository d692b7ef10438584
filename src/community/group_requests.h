#pragma once

#include <QString>
#include <optional>

// The clan-association pages of the community server, one call each. Every call shows the wait window
// while it waits, puts every value into the address percent-encoded, and reads the reply strictly: an
// empty reply (no server, a time-out) or any text that is not the expected number is "not done".
// `officer` is the logged-on account acting on another member; the server checks its position. Every
// call carries the log-on's credential: the server acts only for the account it proves.
namespace group_requests {

// The reply as a whole number, blanks and line ends around it allowed; nothing for anything else.
std::optional<qint64> WholeNumber(const QString& reply);
// Whether the reply is the commands' success code, 0.
bool Done(const QString& reply);

// Asks to join; true when the request now waits for the association's approval.
bool RequestToJoin(qint32 account, qint32 group);

struct Founded {
    qint32 group = 0;
    QString founder;
};
// "id@~founder": the id before the first "@~" must be a whole number above 0; the founder is everything
// after that "@~".
std::optional<Founded> ParseFounding(const QString& reply);
// Founds an association named `name` whose founder takes position `positions` (the count of titles).
std::optional<Founded> Found(const QString& name, qint32 account, quint8 positions);

struct Detail {
    QString name;
    QString founder;
    qint32 members = 0;  // 0 when the field is missing or no number
    qint32 reputation = 0;
};
// "name@~founder@~members@~reputation"; missing fields read as empty.
Detail ParseDetail(const QString& reply);
Detail GroupDetail(qint32 group);

bool Approve(qint32 officer, qint32 member);
bool Refuse(qint32 officer, qint32 member);
// Raises the member one position, never above `top`.
bool Raise(qint32 officer, qint32 member, quint8 top);
bool Leave(qint32 account, qint32 group);
// The account that now keeps the expelled member's uploaded members (the member itself when they stay
// its own); nothing when the member was not expelled.
std::optional<qint32> Expel(qint32 officer, qint32 member, qint32 group);

}  // namespace group_requests
