#include "community/forms/frm_member_list.h"

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

using namespace member_list_rules;

const QString kTable = QStringLiteral("member_lst");
constexpr int kMemberIdRole = Qt::UserRole;
constexpr int kPositionRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;
constexpr int kButtonWidthTwips = 1005;
constexpr int kRowsBetweenEvents = 200;

MemberRow RowOf(const QTreeWidgetItem* item) {
    MemberRow row;
    row.memberId = qint32(item->data(0, kMemberIdRole).toLongLong());
    row.positionId = qint32(item->data(0, kPositionRole).toLongLong());
    row.state = qint32(item->data(0, kStateRole).toLongLong());
    return row;
}

}  // namespace

FrmMemberList::FrmMemberList(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QString::fromLatin1(kMemberListFormName));
    setWindowTitle(QStringLiteral("成员列表"));
    resize(TwipsToPixels(11130), TwipsToPixels(7035));

    listView1_ = new GroupListView(this);
    cmdUpgrade_ = AddListButton(this, QStringLiteral("CmdUpgrade"), QStringLiteral("更改职位"), 1050,
                                kButtonWidthTwips);
    cmdEjectInto_ = AddListButton(this, QStringLiteral("CmdEjectInto"), QStringLiteral("婉拒入会"), 2376,
                                  kButtonWidthTwips);
    cmdApproveInto_ = AddListButton(this, QStringLiteral("CmdApproveInto"), QStringLiteral("批准入会"), 3702,
                                    kButtonWidthTwips);
    cmdExitOrTi_ = AddListButton(this, QStringLiteral("CmdExitOrTi"), ExitCaption(ExitMode::Expel), 5028,
                                 kButtonWidthTwips);
    cmdRefresh_ =
        AddListButton(this, QStringLiteral("CmdRefresh"), QStringLiteral("刷新"), 6354, kButtonWidthTwips);
    cmdCancel_ =
        AddListButton(this, QStringLiteral("CmdCancel"), QStringLiteral("取消"), 7680, kButtonWidthTwips);
    setTabOrder(cmdUpgrade_, cmdEjectInto_);
    setTabOrder(cmdEjectInto_, cmdExitOrTi_);
    setTabOrder(cmdExitOrTi_, cmdCancel_);
    setTabOrder(cmdCancel_, cmdRefresh_);
    setTabOrder(cmdRefresh_, cmdApproveInto_);

    connect(cmdUpgrade_, &QPushButton::clicked, this, &FrmMemberList::CmdUpgrade_Click);
    connect(cmdEjectInto_, &QPushButton::clicked, this, &FrmMemberList::CmdEjectInto_Click);
    connect(cmdApproveInto_, &QPushButton::clicked, this, &FrmMemberList::CmdApproveInto_Click);
    connect(cmdExitOrTi_, &QPushButton::clicked, this, &FrmMemberList::CmdExitOrTi_Click);
    connect(cmdRefresh_, &QPushButton::clicked, this, &FrmMemberList::CmdRefresh_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmMemberList::CmdCancel_Click);
    connect(listView1_, &GroupListView::rowCheckChanged, this, &FrmMemberList::ListView1_ItemCheck);
    connect(listView1_, &GroupListView::rightButtonPressed, this, [this] { ListView1_MouseDown(2); });
}

void FrmMemberList::RegisterForm() {
    FormRegistry::Register(QString::fromLatin1(kMemberListFormName), []() -> QObject* {
        if (!RefreshAsWindowOpens([] { Cls数据操作().RefreshMemberList(); })) return nullptr;
        auto* form = new FrmMemberList;
        form->Form_Load();
        return form;
    });
}

void FrmMemberList::Form_Load() {
    setWindowIcon(QApplication::windowIcon());
    FillMemberList();
    if (App().Translator) App().Translator->SetLanguage(this);
}

void FrmMemberList::FillMemberList() {
    Cls_User& user = CurrentUserRecord();
    listView1_->setColumns(group_window_columns::Shown(kTable));
    const QList<MemberRow> rows = ReadMembers();
    const Lookups lookups = ReadLookups();
    for (int i = 0; i < rows.size(); ++i) {
        const MemberRow& row = rows.at(i);
        QStringList texts;
        for (const QString& caption : listView1_->captions()) texts << CellText(caption, row, i + 1, lookups);
        listView1_->addRow(
            texts, {{kMemberIdRole, row.memberId}, {kPositionRole, row.positionId}, {kStateRole, row.state}});
        if ((i + 1) % kRowsBetweenEvents == 0) DoEvents();
    }
    TakeOwnPosition(rows, user);
    positions_ = group_list_rules::PositionCount();
    // The rows are new and unchecked: the buttons offer what an unchecked list offers.
    showButtons(OnItemCheck(user, positions_, MemberRow(), false));
    setWindowTitle(InterfaceText(WindowCaption(GroupName(user.curGroup_Id))));
}

void FrmMemberList::showButtons(const Buttons& buttons) {
    cmdApproveInto_->setEnabled(buttons.approve);
    cmdEjectInto_->setEnabled(buttons.refuse);
    cmdUpgrade_->setEnabled(buttons.raise);
    cmdExitOrTi_->setEnabled(buttons.exit);
    exitMode_ = buttons.mode;
    cmdExitOrTi_->setText(InterfaceText(ExitCaption(buttons.mode)));
}

QList<qint32> FrmMemberList::checkedMembers() const {
    QList<qint32> members;
    for (const QTreeWidgetItem* item : listView1_->checkedRows()) members.append(RowOf(item).memberId);
    return members;
}

void FrmMemberList::CmdRefresh_Click() {
    RefreshFromServer([] { Cls数据操作().RefreshMemberList(); });
    FillMemberList();
}

void FrmMemberList::ListView1_ItemCheck(QTreeWidgetItem* item, bool checked) {
    showButtons(OnItemCheck(CurrentUserRecord(), positions_, RowOf(item), checked));
    if (checked) listView1_->uncheckOthers(item);
}

void FrmMemberList::CmdApproveInto_Click() {
    Approve(checkedMembers());
    FillMemberList();
}

void FrmMemberList::CmdEjectInto_Click() {
    Refuse(checkedMembers());
    FillMemberList();
}

void FrmMemberList::CmdUpgrade_Click() {
    Raise(checkedMembers());
    FillMemberList();
}

void FrmMemberList::CmdExitOrTi_Click() {
    const auto command = [this] {
        if (exitMode_ == ExitMode::Leave) {
            Leave();
        } else {
            const QList<qint32> members = checkedMembers();
            if (!members.isEmpty()) Expel(members.first());
        }
    };
    // The window goes either way, and the association button follows what the server now says.
    try {
        command();
    } catch (...) {
        UpdateGroupButtonTip();
        close();
        throw;
    }
    UpdateGroupButtonTip();
    close();
}

void FrmMemberList::CmdCancel_Click() {
    close();
}

void FrmMemberList::ListView1_MouseDown(int button) {
    if (button != 2) return;
    if (GroupListView::ChooseColumns(kTable)) FillMemberList();
}

void FrmMemberList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceListAndButtons(this, listView1_,
                        {cmdUpgrade_, cmdEjectInto_, cmdApproveInto_, cmdExitOrTi_, cmdRefresh_, cmdCancel_});
}

void FrmMemberList::closeEvent(QCloseEvent* event) {
    group_window_columns::Store(kTable, listView1_->columnsNow());
    QWidget::closeEvent(event);
}
