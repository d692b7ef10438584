#pragma once

// The service desk: asks for the user's own QQ number (FrmLittle, mode 8), then offers a QQ chat with the
// dealer's service number or opens the message board FrmMsg_1A.
void OpenServiceChat();
