// The main toolbar TbarOP: page turning, the service desk, the download from the server, the clan
// associations and the edit-mode button. Its commands come with their own change; until then its
// buttons stay disabled and a click does nothing.
#include "mainwin/forms/dsptree.h"

void dsptree::SetupMainToolbar() {}

void dsptree::TbarOP_ButtonClick(const QString& /*key*/) {}
