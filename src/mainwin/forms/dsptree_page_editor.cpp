// The page editor that shares the page area with the viewer: it installs itself with InstallEditor,
// handles TbarEditEx and the edit_* items of the pop-up menu, and stores an edited page. Until it
// comes, edit mode is never entered, so there is never an edited page to store.
#include "mainwin/forms/dsptree.h"

void dsptree::SetupPageEditor() {}

void dsptree::TbarEditEx_ButtonClick(const QString& /*key*/) {}

void dsptree::SaveEditedPage(const QString& /*member*/) {}

void dsptree::UpdateEditButtons() {}

void dsptree::EditButton_Click() {}
