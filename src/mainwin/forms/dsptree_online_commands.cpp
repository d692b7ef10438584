// The on-line node commands (upload, download, the synchronised delete) come with the member sync.
// Until then no member is deleted on the server.
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "platform/interaction/interaction.h"

bool dsptree::DeleteOnServer(qint32 /*mysqlId*/) {
    UI().MsgBox(mainwin::Trans(QStringLiteral("服务器删除尚不可用，成员未删除。")), vb::Critical);
    return false;
}
