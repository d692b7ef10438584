#pragma once

#include <QString>
#include <QStringList>

namespace dao {
class Database;
}

// Table definitions of the three book files. Packages and staging files reuse the member, page,
// keyword and picture layouts, so each table's statement is reachable on its own.
namespace book_schema {

QString MemberTable();       // 本姓成员
QString InLawTable();        // 外戚成员
QString PageStartTable();    // temp世祖
// The order of queued members and the page windows over it (page_start_store.h), and the members'
// index of nameless members the page display counts children by; safe to run again.
QStringList PageOrderStatements();
QString BlankNameIndex();
QString QueueTable();        // temp
QString FlagQueueTable();    // tempflag
QString PageKeywordTable();  // pageindx
QString PickListTable();     // tempinfo
QString LayoutTable();       // rowcolctrl
QString SettingsTable();     // pswdylk
QString ChartTable();        // skrslt
QString PrintWorkTable();    // temp_px
QString PictureTable();      // imageylk
QString StoryTable();        // story
// The mirrors of the server's clan associations; "IF NOT EXISTS", so that books made before them get them
// on first use.
QString GroupListTable();   // group_lst
QString MemberListTable();  // member_lst
// The e-book library's hits of the last search and its record of downloads; "IF NOT EXISTS" as above.
QString EbookHitTable();       // newdown_eb
QString EbookDownloadTable();  // olddown_eb

// Every statement (tables and indexes) of each file, in creation order.
QStringList DataDbStatements();
QStringList ImageDbStatements();
// A member's picture paths read from the index alone: stored after the picture's bytes, a path read
// from the row walks every page of the picture first.
QString PicturePathIndex();
QStringList DescriptDbStatements();

// The rows zpdata.ctr ships with: the pick lists and the settings record.
void InsertShippedRows(dao::Database& db);

}  // namespace book_schema

// Creates the three book files when none exists (a new book), whole or not at all. Throws 3024 naming
// the missing file when only some are there, and changes nothing.
void EnsureBookFiles();
// Opens the three book files once, so that a damaged one is reported (3049) before anything is written.
void CheckBookFiles();
// Removes what a killed compaction or creation left beside the book files, and stale super-journals.
// Call after CheckBookFiles, which rolls back any journal that still needed one.
void RemoveStaleWorkFiles();
