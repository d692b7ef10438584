// The node_* items of the pop-up menu: the member commands, the marking commands and the on-line
// commands (upload, download, the synchronised delete).
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/node_command_support.h"

void dsptree::SetupNodeCommands() {
    const auto connect = [this](const char* item, void (dsptree::*command)()) {
        ConnectMenuItem(QString::fromLatin1(item),
                        [this, command] { node_commands::RunReported([&] { (this->*command)(); }); });
    };
    connect("node_addonedai", &dsptree::InsertParentNode);
    connect("node_deleteAll", &dsptree::DeleteWithDescendants);
    connect("node_multipagemove", &dsptree::MoveAcrossPages);
    connect("node_color", &dsptree::ColourLineOfDescent);
    connect("node_generation", &dsptree::NumberGenerations);
    connect("node_UnGeneration", &dsptree::ClearGenerations);
    connect("node_active", &dsptree::MarkLivingOrDead);
    connect("node_SetProtect", &dsptree::SetBranchProtection);
    connect("node_notable", &dsptree::AddToFamousList);
    connect("node_subboy", &dsptree::LoadBranchPackage);
    connect("node_import", &dsptree::ImportPageFolder);
    connect("node_Uploadinfo_1", &dsptree::UploadMemberNode);
    connect("node_Uploadinfo_n", &dsptree::UploadBranchNodes);
    connect("node_downloadinfo_1", &dsptree::DownloadMemberNode);
    connect("node_downloadinfo_n", &dsptree::DownloadBranchNodes);
    connect("node_tongbudel_1", &dsptree::DeleteNodeOnServer);
    ConnectMenuItem(QStringLiteral("node_display"),
                    [this] { node_commands::RunReported([this] { ShowOrHideRoot(true); }); });
    ConnectMenuItem(QStringLiteral("node_nodisplay"),
                    [this] { node_commands::RunReported([this] { ShowOrHideRoot(false); }); });
}
