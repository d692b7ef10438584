#include "community/forms/main_tree_refresh.h"

#include <QApplication>

#include "community/ebook_library.h"
#include "frame/app_state.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/tree_pages.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

void RebuildMainTreesAfterImport() {
    try {
        ebook_library::PrepareTreeAfterImport();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* main = qobject_cast<dsptree*>(window);
            if (!main) continue;
            main->SetPageCount(PageCountFor(main->DataOps().TotalRecnNum(), App().NodesPerPage));
            main->RebuildPage();
            main->setWindowTitle(main->PageCaption(1));
        }
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
}
