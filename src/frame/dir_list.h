#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Lists the page files of a folder tree in the work table temp_px, so that the tree window can import
// them as members: one row per file, the parts of its path below RootFolder in boy1..boy20.
class ClsDirList {
public:
    // Opens the members database into DataDb and empties temp_px; dao::DaoError when that fails.
    ClsDirList();

    // The folder the rows' paths are relative to; set it to the folder passed to sDirTraversal. When it is
    // empty or not above that folder, paths are taken relative to the folder walked.
    QString RootFolder;

    // Appends a row for every file whose name holds ".htm" or ".txt" (any case): the files of a folder by
    // name, then, depth first, those of its first 200 subfolders by name. Parts after the 20th are
    // dropped. Hidden folders and links to folders are not entered. All rows are written in one
    // transaction; false (and nothing written) when they could not be.
    bool sDirTraversal(const QString& folder);

private:
    // Adds the rows of folder's own files and returns its subfolders to walk.
    QStringList ListFolder(const QString& folder, const QString& base, QList<QStringList>& rows) const;
};
