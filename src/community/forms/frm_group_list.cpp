#include "community/forms/frm_group_list.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>

#include "community/forms/group_list_view.h"
#include "community/group_list_rules.h"
#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "online/user_record.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/form_registry.h"
#include "store/data_ops.h"

namespace {

const QString kTable = QStringLiteral("group_lst");
constexpr int kGroupIdRole = Qt::UserRole;
constexpr int kButtonWidthTwips = 1095;
constexpr int kRowsBetweenEvents = 200;

}  // namespace

FrmGroupList::FrmGroupList(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QString::fromLatin1(kGroupListFormName));
    setWindowTitle(QStringLiteral("宗亲会列表"));
    resize(TwipsToPixels(11130), TwipsToPixels(6855));

    listView1_ = new GroupListView(this);
    cmdNewGroup_ = AddListButton(this, QStringLiteral("CmdNewGroup"), QStringLiteral("创建宗亲会"), 1650,
                                 kButtonWidthTwips);
    cmdAddGroup_ = AddListButton(this, QStringLiteral("CmdAddGroup"), QStringLiteral("申请入会"), 3322,
                                 kButtonWidthTwips);
    cmdReFind_ =
        AddListButton(this, QStringLiteral("CmdReFind"), QStringLiteral("刷新"), 4994, kButtonWidthTwips);
    cmdOK_ = AddListButton(this, QStringLiteral("CmdOK"), QStringLiteral("确定"), 6666, kButtonWidthTwips);
    cmdAddGroup_->setEnabled(false);
    setTabOrder(cmdNewGroup_, cmdOK_);
    setTabOrder(cmdOK_, cmdReFind_);
    setTabOrder(cmdReFind_, cmdAddGroup_);

    connect(cmdReFind_, &QPushButton::clicked, this, &FrmGroupList::CmdReFind_Click);
    connect(cmdAddGroup_, &QPushButton::clicked, this, &FrmGroupList::CmdAddGroup_Click);
    connect(cmdNewGroup_, &QPushButton::clicked, this, &FrmGroupList::CmdNewGroup_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &FrmGroupList::CmdOK_Click);
    connect(listView1_, &GroupListView::rowCheckChanged, this, &FrmGroupList::ListView1_ItemCheck);
    connect(listView1_, &GroupListView::rightButtonPressed, this, [this] { ListView1_MouseDown(2); });
}

void FrmGroupList::RegisterForm() {
    FormRegistry::Register(QString::fromLatin1(kGroupListFormName), []() -> QObject* {
        if (!RefreshAsWindowOpens([] { Cls数据操作().RefreshGroupList(); })) return nullptr;
        auto* form = new FrmGroupList;
        form->Form_Load();
        return form;
    });
}

void FrmGroupList::Form_Load() {
    setWindowIcon(QApplication::windowIcon());
    FillGroupList();
    if (App().Translator) App().Translator->SetLanguage(this);
}

void FrmGroupList::FillGroupList() {
    listView1_->setColumns(group_window_columns::Shown(kTable));
    // The rows are new and unchecked: there is nothing to join yet.
    cmdAddGroup_->setEnabled(false);
    const QList<GroupRow> rows = group_list_rules::ReadGroups();
    for (int i = 0; i < rows.size(); ++i) {
        QStringList texts;
        for (const QString& caption : listView1_->captions())
            texts << group_list_rules::CellText(caption, rows.at(i), i + 1);
        listView1_->addRow(texts, {{kGroupIdRole, rows.at(i).id}});
        if ((i + 1) % kRowsBetweenEvents == 0) DoEvents();
    }
}

void FrmGroupList::CmdReFind_Click() {
    RefreshFromServer([] { Cls数据操作().RefreshGroupList(); });
    FillGroupList();
}

void FrmGroupList::ListView1_ItemCheck(QTreeWidgetItem* item, bool checked) {
    const std::optional<group_list_rules::Selection> selection =
        group_list_rules::OnItemCheck(CurrentUserRecord().curGroup_Id, checked);
    if (!selection) return;
    cmdAddGroup_->setEnabled(selection->joinEnabled);
    if (selection->uncheckOthers) listView1_->uncheckOthers(item);
}

void FrmGroupList::CmdAddGroup_Click() {
    const QList<QTreeWidgetItem*> checked = listView1_->checkedRows();
    if (checked.isEmpty()) return;
    group_list_rules::RequestToJoin(qint32(checked.first()->data(0, kGroupIdRole).toLongLong()));
}

void FrmGroupList::CmdNewGroup_Click() {
    if (!group_list_rules::FoundGroup()) return;
    FillGroupList();
    UpdateGroupButtonTip();
}

void FrmGroupList::CmdOK_Click() {
    close();
}

void FrmGroupList::ListView1_MouseDown(int button) {
    if (button != 2) return;
    if (GroupListView::ChooseColumns(kTable)) FillGroupList();
}

void FrmGroupList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceListAndButtons(this, listView1_, {cmdNewGroup_, cmdAddGroup_, cmdReFind_, cmdOK_});
}

void FrmGroupList::closeEvent(QCloseEvent* event) {
    group_window_columns::Store(kTable, listView1_->columnsNow());
    QWidget::closeEvent(event);
}
