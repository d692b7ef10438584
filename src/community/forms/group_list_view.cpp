#include "community/forms/group_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>

#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "online/forms/group_button.h"
#include "online/logon_gate.h"
#include "online/logon_rules.h"
#include "online/user_record.h"
#include "platform/dao/dao_error.h"
#include "platform/door/server_error.h"
#include "platform/interaction/interaction.h"

namespace {

constexpr int kTwipsPerPixel = 15;
// Under the list: the gap above the buttons, then the buttons and a margin below them.
constexpr int kButtonGapTwips = 75;
constexpr int kBelowListTwips = 540;
constexpr int kButtonHeightTwips = 405;
// What the row's check box last was, to tell a click from any other change of the row.
constexpr int kCheckedRole = Qt::UserRole + 100;

}  // namespace

GroupListView::GroupListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ListView1"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(true);
    connect(this, &QTreeWidget::itemChanged, this, &GroupListView::onItemChanged);
}

void GroupListView::setColumns(const QList<ListColumn>& columns) {
    clear();
    captions_.clear();
    for (const ListColumn& column : columns) captions_ << column.caption;
    setColumnCount(int(columns.size()));
    setHeaderLabels(captions_);
    for (int i = 0; i < columns.size(); ++i) setColumnWidth(i, TwipsToPixels(columns.at(i).widthTwips));
}

QList<ListColumn> GroupListView::columnsNow() const {
    QList<ListColumn> columns;
    // In the order the user sees them: a header dragged elsewhere keeps its place.
    for (int visual = 0; visual < header()->count(); ++visual) {
        const int logical = header()->logicalIndex(visual);
        columns.append({captions_.value(logical), header()->sectionSize(logical) * kTwipsPerPixel});
    }
    return columns;
}

QTreeWidgetItem* GroupListView::addRow(const QStringList& texts,
                                       const QList<std::pair<int, QVariant>>& data) {
    auto* item = new QTreeWidgetItem(texts);
    for (const auto& [role, value] : data) item->setData(0, role, value);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, kCheckedRole, false);
    addTopLevelItem(item);  // built whole first, so adding reports nothing
    return item;
}

void GroupListView::setRowChecked(QTreeWidgetItem* item, bool checked) {
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void GroupListView::uncheckOthers(const QTreeWidgetItem* keep) {
    const QSignalBlocker quiet(this);
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (item == keep || item->checkState(0) == Qt::Unchecked) continue;
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, kCheckedRole, false);
    }
}

QList<QTreeWidgetItem*> GroupListView::checkedRows() const {
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->checkState(0) == Qt::Checked) rows.append(topLevelItem(i));
    return rows;
}

void GroupListView::onItemChanged(QTreeWidgetItem* item, int column) {
    if (column != 0) return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->data(0, kCheckedRole).toBool() == checked) return;
    {
        const QSignalBlocker quiet(this);
        item->setData(0, kCheckedRole, checked);
    }
    emit rowCheckChanged(item, checked);
}

bool GroupListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        emit rightButtonPressed();
    return QTreeWidget::viewportEvent(event);
}

bool GroupListView::ChooseColumns(const QString& table) {
    AppState& app = App();
    app.ListDialogOk = 1;
    app.FormParamString = table;
    UI().ShowForm(QStringLiteral("FrmColSelect"), true);
    return app.ListDialogOk == 1;
}

QPushButton* AddListButton(QWidget* window, const QString& name, const QString& caption, int leftTwips,
                           int widthTwips) {
    auto* button = new QPushButton(caption, window);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(TwipsRect(leftTwips, 0, widthTwips, kButtonHeightTwips));
    return button;
}

Refreshed RefreshFromServer(const std::function<void()>& refresh) {
    try {
        refresh();
        return Refreshed::Done;
    } catch (const ServerError& e) {
        if (TellLapsedLogon()) return Refreshed::Lapsed;
        UI().MsgBox(e.Description(), vb::Critical);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
    return Refreshed::Failed;
}

bool RefreshAsWindowOpens(const std::function<void()>& refresh) {
    if (RefreshFromServer(refresh) != Refreshed::Lapsed) return true;
    // Told, and the log-on form came back: a new log-on opens the window, with the lists as they are now.
    if (!CurrentUserRecord().Logoned) return false;
    return RefreshFromServer(refresh) != Refreshed::Lapsed || CurrentUserRecord().Logoned;
}

QString InterfaceText(const QString& text) {
    return App().Translator ? App().Translator->TransLanguage(text) : text;
}

void UpdateGroupButtonTip() {
    SetGroupButtonTip(InterfaceText(LogonRules::GroupButtonTip(CurrentUserRecord().curGroup_Id)));
}

void PlaceListAndButtons(QWidget* window, GroupListView* list, const QList<QPushButton*>& buttons) {
    const int height = qMax(0, window->height() - TwipsToPixels(kBelowListTwips));
    list->setGeometry(0, 0, window->width(), height);
    for (QPushButton* button : buttons) button->move(button->x(), height + TwipsToPixels(kButtonGapTwips));
}
