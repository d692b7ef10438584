#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "community/group_window_columns.h"

// The rules of the e-book library window, without its window: the list of the last search's hits, the
// e-book behind a list item, the status texts of a download, and what follows a
// complete download (import, counts).
namespace ebook_library {

// One list item: its key text (id "%1%" list mark) and its text for each column.
struct Row {
    QString key;
    QStringList texts;
};
// The rows of newdown_eb for the shown columns (group_window_columns::Shown("newdown_eb")), whose
// captions are 序号, 电子档名称, 大小(M), 已下载, 原作者, 辑录者, 备注.
QList<Row> Rows(const QList<ListColumn>& columns);

// The list mark kept in an eb_innerno field; "" when it holds none.
QString ListMark(const QString& innerno);
QString ItemKey(const QString& id, const QString& mark);
// The e-book id of a key text: the number before its first "%".
qint32 ItemId(const QString& key);

// The e-book of a list item, from newdown_eb.
struct Book {
    bool found = false;
    qint32 id = 0;
    QString name;
    QString url;     // the download address, as the server gave it
    QString digest;  // the strong-password digest the import needs ("" for none)
};
Book BookOf(qint32 id);

// The status line of a batch.
QString ConnectingText();
QString StartText(const QString& name, qint64 contentLength);
QString ProgressText(const QString& name, qint64 bytes, qint64 contentLength);

// What a batch came to, said when it has ended: the e-books imported, those the server had no file for
// and those that failed on the way (each failure was told as it came), and whether the user stopped it.
struct BatchOutcome {
    bool stopped = false;
    int imported = 0;
    int missing = 0;
    int failed = 0;
    QString Text() const;
    // The information icon when everything tried was imported, else the exclamation.
    int Style() const;
};

// Imports the downloaded staging file into the book. Only an import that succeeded counts: then the
// hit's down_num, the download record olddown_eb (key is the list item's key text) and the server's
// count go up, and 0 is answered; otherwise the import's error number, with its text in *error, and
// nothing is counted.
qint32 ImportDownloaded(const Book& book, const QString& key, QString* error = nullptr);
// The local counts of one complete download, in one transaction.
void RecordDownload(qint32 id, const QString& key, const QDateTime& when = QDateTime::currentDateTime());
// Tells the server; its answer changes nothing here.
void AddDownCount(qint32 id);

// After imports: the page starts are cut again from the first page, which the tree shows next.
void PrepareTreeAfterImport();

}  // namespace ebook_library
