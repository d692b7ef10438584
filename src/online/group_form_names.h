#pragma once

// The form names under which the two clan-association windows are registered: the main window opens
// them by these names.
inline constexpr char kGroupListFormName[] = "FrmGroupList";
inline constexpr char kMemberListFormName[] = "FrmMemberList";
