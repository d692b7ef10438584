#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

// The rules of the e-book search dialog, without its window: the category list kept from the server,
// the search request, and the hits it stores in newdown_eb for the library window.
namespace ebook_search {

// Fields of a reply record, counted from 0: 0 list mark, 1 id, 2 name, 3 author, 4 compiler, 5 size in
// megabytes, 6 downloads, 7 strong-password record, 8 download address, 9 remark.
constexpr int kFields = 10;

// Whether the category list is due for a refresh: the setting "ebooktype" holds no date, or a date
// more than one day away from today (either way).
bool CategoriesDue(const QString& savedDate, const QDate& today);
// The date as the setting "ebooktype" keeps it.
QString DateText(const QDate& date);

// Fetches the categories and, on a successful reply with at least one name, replaces the list (tempinfo
// pageflag 4) and saves today's date in "ebooktype"; true then. Otherwise the old list and date stay.
bool RefreshCategories(const QDate& today = QDate::currentDate());
// Refreshes when due, or when the open book has no category list.
void RefreshCategoriesIfDue(const QDate& today = QDate::currentDate());

struct Criteria {
    QString name;      // TxtEB
    QString author;    // Txt_org
    QString compiler;  // Txt_e
    QString keyword;   // Txt_key
    QString category;  // CmbOdklj
    QString downNum;   // Txt_downNum, as typed
};
// The query of the search page: every value trimmed, down_num as a whole number (0 when not one).
QList<QPair<QString, QString>> Query(const Criteria& criteria);
QUrl SearchUrl(const Criteria& criteria);

// The records of a reply, each padded to kFields fields; the first empty record ends the list.
QList<QStringList> ParseReply(const QString& reply);
// Replaces the rows of newdown_eb with the records, in one transaction.
void StoreHits(const QList<QStringList>& records);

// The steppers: the grade moves by 5 within 0 to 100; the download count by a power of ten that
// follows its number of digits.
int GradeStep(int grade, bool up);
QString DownNumStep(const QString& text, bool up);

}  // namespace ebook_search
