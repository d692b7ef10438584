#pragma once

#include <QString>

namespace dao {

// Work files written outside the book folder (a package's ".part" beside the file the user chose, the
// copy a rewrite makes beside its file) are listed in the book folder while they may exist, so that the
// next start, or the next such operation, removes what a killed run left wherever it was.
class WorkFileList {
public:
    // Before the work file is made.
    static void Note(const QString& path);
    // Once it is gone (renamed into place or removed).
    static void Forget(const QString& path);
    // Removes every listed work file that no connection holds, with what the engine keeps beside it,
    // and takes it off the list.
    static void RemoveLeftovers();
    // Whether a connection of any process has the file open (it holds the file's lock file).
    static bool IsHeld(const QString& path);
    // Removes a work file of a known place (the download's staging file) unless a connection holds it.
    static void RemoveUnlessHeld(const QString& path);
    // The list's own file in the book folder.
    static QString ListPath();
};

}  // namespace dao
