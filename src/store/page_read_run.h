#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace dao {
class Database;
}

// Many members' pages and pictures read in a row (the printed book): while this lives the page and
// picture files stay open, and each of the three book files is read in one transaction instead of one
// per statement. Runs may nest; the outermost holds the files.
class PageReadRun {
public:
    PageReadRun();
    ~PageReadRun();
    PageReadRun(const PageReadRun&) = delete;
    PageReadRun& operator=(const PageReadRun&) = delete;

private:
    struct Held;
    std::unique_ptr<Held> held_;
};

// The member's page as Cls数据操作::GetAnyHtmlCode gives it, read through `pages`, a connection to the
// page file; "" for none.
QString PageCodeIn(dao::Database& pages, const QString& filial);

struct PictureRow {
    qint64 id = 0;
    QString reference;  // unscrambled
};
// The member's pictures as Cls数据操作::GnAnyImage reads them, through `pictures`, a connection to the
// picture file. Inside a PageReadRun only the members that have pictures are looked up.
QList<PictureRow> PictureRows(dao::Database& pictures, const QString& filial);
// Cls数据操作::GnAnyImage for pictures already read: the error number of the last that failed, 0 if none.
qint32 ExtractPictureRows(const QList<PictureRow>& rows);
