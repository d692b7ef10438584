#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

class AttachedSideFiles;
class ServerCommand;
struct ServerRows;
namespace dao {
class Database;
}

// What the upload, the single download and the tree download share: which member columns travel under
// which server parameter, the calls that fetch one member, its page and its pictures, and the change of
// scrambling between the book's stored form and the server's.
namespace member_exchange {

// A column of 本姓成员 and the server parameter that carries it. Parameter names are matched without
// regard to case, so one spelling serves the save (sp_savezpdata2) and the fetch (sp_Getzpdata2).
struct Field {
    QString column;
    QString parameter;
};
// The particulars a member save sends and a fetch brings back, the protection level last.
const QList<Field>& Particulars();
// The columns a fetched member fills: the particulars, then the creating account.
const QStringList& FetchedColumns();

// The staging file of the tree download, in the book folder.
QString StagingPath();
// A new, empty staging file without a password: the member, picture and page tables with their work
// copies tmp2, tmp2img and tmp2stry, and the member list tempflag, each an empty copy of the book's
// table under that name, so that a staged row has exactly the layout of the book row it becomes. The
// book's indexes stay behind: two members the server keeps under one name are two staged rows.
dao::Database CreateStaging(const QString& path);

// One member as the server keeps it.
struct ServerMember {
    qint32 id = 0;  // below 1: the server holds no such member
    QString name;   // the name the server keeps it under
    QString father;
    QVariantList values;  // FetchedColumns() in order
};
ServerMember FetchMember(ServerCommand& cmd, qint32 id);
// A member from the out values of its fetch (sp_Getzpdata2), each asked for by name.
ServerMember MemberOf(const std::function<QVariant(const QString&)>& out);

// The member's page from the rows of sp_GetStory, in the book's stored form; nothing when the server
// holds none.
std::optional<QString> PageOf(const ServerRows& rows);

struct Picture {
    QString filial;  // the member the server filed it under
    QByteArray bytes;
    QString storedPath;  // in the book's stored form
};
// The member's pictures from the rows of sp_GetImage, in the server's order; empty items are no
// pictures and are left out.
QList<Picture> PicturesOf(const ServerRows& rows);

// A message in the interface language.
QString Translated(const QString& text);

// A stored page text and picture path in the form the server keeps them.
QString ServerPageText(const QString& storedText);
QString ServerPicturePath(const QString& storedPath);

// Writing a member taken over from the server, inside the caller's transaction. The book's row rowId
// keeps its father, generation and branch; without a row a new one is added under father.
void StoreMember(dao::Database& db, std::optional<qint64> rowId, const QString& father, const QString& name,
                 qint32 serverId, const QVariantList& values);
// Everything that names a renamed member follows the new name: children, page starts, page keywords,
// pictures and page.
void FollowRename(dao::Database& db, const AttachedSideFiles& side, const QString& oldName,
                  const QString& newName);

}  // namespace member_exchange
