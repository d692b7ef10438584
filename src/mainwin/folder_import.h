#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class Cls数据操作;
class TreeNodeSink;

// Imports a folder tree of page files (".htm", ".txt") as a new branch: the folder becomes a root
// member, each folder below it and each file a member under its folder's member, and each file's
// text the page of its member. Names are cleaned as member names and made unique; folders whose names
// are one member name under one parent become one member, a name met again under another parent a
// member of its own. The new nodes go into the tree where their fathers are shown.
class FolderImport {
public:
    FolderImport(Cls数据操作& ops, TreeNodeSink& tree) : ops_(ops), tree_(tree) {}

    // The new root's name. The whole folder comes in with one commit, or nothing of it: a book that
    // cannot be written raises dao::DaoError with the book as it was. A file that cannot be read comes
    // in without its page, a picture without its stored copy; both are listed in Unread().
    QString Run(const QString& folder);
    const QStringList& Unread() const { return unread_; }

private:
    QString addMember(const QString& rawName, const QString& father);

    Cls数据操作& ops_;
    TreeNodeSink& tree_;
    QStringList unread_;
    std::vector<std::pair<QString, QString>> added_;  // father and name of each member made, in order
};
