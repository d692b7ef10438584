#pragma once

#include <QIcon>
#include <QString>

// The program's icon, which every window takes.
QIcon ProgramIcon();
// The product title the launcher carries before any language switch.
QString ProgramCaption();
