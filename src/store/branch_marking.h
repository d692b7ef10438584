#pragma once

#include <QString>

// Commands that mark a branch to act on it (living or dead, protection, delete, backup, upload) must
// not throw away a numbering the user made: they number the branch from the member's own stored
// generation when it has one, which reproduces that numbering, and from 1 only when it has none.
qint32 KeptStartGeneration(const QString& name);
