#pragma once

#include <QList>
#include <QString>

// The columns of the two clan-association lists ("group_lst", "member_lst") and of the e-book list
// ("newdown_eb") as the book keeps them in
// "rowcolctrl": one row per column with its caption, width in twips, whether it is shown (2) or hidden
// (3) and its place.
struct ListColumn {
    QString caption;
    int widthTwips = 0;
};

namespace group_window_columns {

inline constexpr int kMaxColumns = 12;
inline constexpr int kDefaultWidthTwips = 600;  // for a column stored with width 0

// The shown columns in order ("order by col_visible, seqno"), at most kMaxColumns. A book that has no
// layout for the list yet gets the default one first.
QList<ListColumn> Shown(const QString& table);
// Stores each column's width and place (1, 2, ...) as the window closes, adding a row for a column
// that has none; whether a column is shown is left as it is.
void Store(const QString& table, const QList<ListColumn>& columns);
// The layout a book starts with.
QList<ListColumn> DefaultLayout(const QString& table);

}  // namespace group_window_columns
