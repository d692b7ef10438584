#pragma once

#include <QList>
#include <QTreeWidget>
#include <QVariant>
#include <functional>
#include <utility>

#include "community/group_window_columns.h"

class QPushButton;

// The report list of the clan-association windows: a check box on every row, the columns of the book's
// layout, and the rows' own data in item roles. Only the user's clicks on a check box are reported;
// the list's own changes (filling, unchecking the other rows) are not.
class GroupListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit GroupListView(QWidget* parent);

    // Empties the list and puts up these columns (widths in twips).
    void setColumns(const QList<ListColumn>& columns);
    // The columns as they are now, widths in twips, for storing when the window closes.
    QList<ListColumn> columnsNow() const;
    const QStringList& captions() const { return captions_; }

    // Adds an unchecked row with these cell texts and item data (role, value).
    QTreeWidgetItem* addRow(const QStringList& texts, const QList<std::pair<int, QVariant>>& data);
    void uncheckOthers(const QTreeWidgetItem* keep);
    // The checked rows, top to bottom.
    QList<QTreeWidgetItem*> checkedRows() const;
    // Checks or unchecks the row as the user's click does.
    void setRowChecked(QTreeWidgetItem* item, bool checked);

    // The column chooser over the list `table`; true when it changed the layout, so the list is filled
    // again.
    static bool ChooseColumns(const QString& table);

signals:
    void rowCheckChanged(QTreeWidgetItem* item, bool checked);
    void rightButtonPressed();

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item, int column);

    QStringList captions_;
};

// A button of the row under the list: its left and width in twips, 405 twips high.
QPushButton* AddListButton(QWidget* window, const QString& name, const QString& caption, int leftTwips,
                           int widthTwips);

// Runs a refresh of a mirror table from the server; a server or book that fails is reported (a lapsed
// log-on brings the log-on form back) and the table keeps its rows.
enum class Refreshed { Done, Failed, Lapsed };
Refreshed RefreshFromServer(const std::function<void()>& refresh);

// The same as an association window opens, so that it never shows a list older than the log-on (one
// just founded, one of another account) and a lapsed log-on is told before anything is shown. False
// when the window must not open: the log-on lapsed and the user did not log on again.
bool RefreshAsWindowOpens(const std::function<void()>& refresh);

// A caption in the interface language, as the windows' own captions are shown after they load.
QString InterfaceText(const QString& text);

// The main window's association button names the window it now leads to, in the interface language.
void UpdateGroupButtonTip();

// Places the list over the window's width and the buttons in one row under it; a window made smaller
// than the margins leaves the list empty rather than negative.
void PlaceListAndButtons(QWidget* window, GroupListView* list, const QList<QPushButton*>& buttons);
