#include "app/killed_run_leftovers.h"

#include <QDir>

#include "community/help_update.h"
#include "mainwin/tree_pages.h"
#include "online/member_exchange.h"
#include "platform/bookdir.h"
#include "platform/dao/work_file_list.h"
#include "print/book_output.h"
#include "store/data_ops.h"

void RemoveKilledRunLeftovers() {
    dao::WorkFileList::RemoveLeftovers();
    dao::WorkFileList::RemoveUnlessHeld(member_exchange::StagingPath());
    const QDir chm(GetAppPath() + QStringLiteral("chm"));
    for (const QString& work :
         chm.entryList({QStringLiteral(".ebook-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(chm.filePath(work)).removeRecursively();
    Cls数据操作::RemoveImportLeftovers();
    BookOutput::RemoveParts();
    help_update::FinishInterruptedUpdate();
    TreeChangeMark::RecutAfterKilledCommand();
}
