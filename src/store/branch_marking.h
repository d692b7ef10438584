#pragma once

#include <QString>

class Cls数据操作;

// Commands that mark a branch to act on it (living or dead, protection, delete, backup, upload) must
// not throw away a numbering the user made: they number the branch from the member's own stored
// generation when it has one, which reproduces that numbering, and from 1 only when it has none.
qint32 KeptStartGeneration(const QString& name);

// Marks the member's branch with the branch number to act on it (delete with descendants, upload): the
// marking runs whatever was marked last, so the branch holds exactly the member's descendants, numbered
// from KeptStartGeneration; protection stays.
void MarkBranchToActOn(Cls数据操作& ops, const QString& name, qint32 branch);

// The backup of a member's branch (the book toolbar's command after its dialogs): the branch marked
// to act on it, then written into the package at path, keyed with password, and compacted when it has
// free pages. Leaves the member's name in FormParamString. Returns the number of members written.
qint32 BackUpBranch(Cls数据操作& ops, const QString& name, qint32 branch, const QString& path,
                    const QString& password);
