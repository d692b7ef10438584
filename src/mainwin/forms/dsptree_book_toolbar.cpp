// The book toolbar TbarOpEx: exit, backup, restore, print, branch book, set-up and find. Its commands
// come with their own change; until then its buttons stay disabled and a click does nothing.
#include "mainwin/forms/dsptree.h"

void dsptree::SetupBookToolbar() {}

void dsptree::TbarOpEx_ButtonClick(const QString& /*key*/) {}
