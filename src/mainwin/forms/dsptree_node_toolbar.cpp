// The node toolbar Toolbar1 beside the tree, and through it the keys F4, F5 and F6. Its commands come
// with their own change; until then its buttons stay disabled and a click does nothing.
#include "mainwin/forms/dsptree.h"

void dsptree::SetupNodeToolbar() {}

void dsptree::Toolbar1_ButtonClick(const QString& /*key*/) {}
