// The node_* items of the pop-up menu (member, marking and on-line commands). Each command connects
// its item here with ConnectMenuItem, which also enables it; until then the items stay disabled.
#include "mainwin/forms/dsptree.h"

void dsptree::SetupNodeCommands() {}
