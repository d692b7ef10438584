#include <QDrag>
#include <QMimeData>
#include <QTreeWidget>
#include <exception>

#include "frame/app_state.h"
#include "frame/language.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/page_viewer.h"
#include "member/member_record.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;

constexpr int kTwipsPerPixel = 15;
constexpr int kPageStartImage = 3;
constexpr int kSelectedImage = 4;
constexpr int kDragDistanceTwips = 50;
constexpr qint32 kNumberedAbove = -999;  // -9999: not numbered
const QString kBlank = QStringLiteral("about:blank");
const QString kPageFile = QStringLiteral("ltmp.htm");
const QBrush kDropHighlight(QColor(0xc8, 0xdc, 0xf8));

QString MemberOf(const QTreeWidgetItem* node) {
    return TextAfterBrace(node->text(0));
}

QPoint ToPixels(const QPoint& twips) {
    return twips / kTwipsPerPixel;
}

bool MayChange(quint8 right) {
    return right == 3 || right == 6;
}

}  // namespace

int dsptree::indexOfItem(const QTreeWidgetItem* item) const {
    if (!item) return 0;
    const QString key = TreeWidgetNodes::KeyOf(item);
    return treeNodes_->Exists(key) ? treeNodes_->IndexOf(key) : 0;
}

QString dsptree::SelectedMemberName() const {
    const QTreeWidgetItem* current = treeVw_->currentItem();
    return current ? MemberOf(current) : QString();
}

void dsptree::RebuildPage() {
    setDropHighlight(QString());
    dragNodeKey_.clear();
    Cls数据操作& ops = DataOps();
    ops.显示世祖(*treeNodes_, qint16(qMin(App().NodesPerPage, 32767)));
    ops.Tree分结点数展开(*treeNodes_, qint16(qMin(App().NodesPerPage, 32767)));
}

void dsptree::TreeVw_NodeClick(QTreeWidgetItem* node) {
    if (!node) return;
    AppState& app = App();
    if (treeVw_->currentItem() != node) treeVw_->setCurrentItem(node);
    setDropHighlight(QString());
    const QString member = MemberOf(node);
    app.FormParamString = member;
    if (EditMode()) leaveEditModeForClick();
    SetFOpenTag(QString());

    const int index = indexOfItem(node);
    bool shown = true;
    if (member != TreeTag()) {
        shown = showStoredPage(member);
        if (app.SelectedNodeIndex > treeNodes_->Count()) app.SelectedNodeIndex = 0;
        bool numeric = false;
        const int before = selectedNodeImage_.toInt(&numeric);
        if (app.SelectedNodeIndex >= 1 && numeric && before > 0)
            treeNodes_->SetImage(app.SelectedNodeIndex,
                                 app.SelectedNodeIndex == 1 ? kPageStartImage : before);
        if (index >= 1) {
            selectedNodeImage_ = QString::number(treeNodes_->ImageAt(index));
            treeNodes_->SetImage(index, kSelectedImage);
        }
    }
    // A page that could not be read is not on display: nothing may be stored as its member's page.
    SetTreeTag(shown ? member : QString());
    app.SelectedNodeIndex = index;
}

bool dsptree::showStoredPage(const QString& member) {
    const QString file = GetAppPath() + kPageFile;
    bool missing = true;
    try {
        missing = DataOps().GetAnyHtml(file, member);
    } catch (const dao::DaoError& e) {
        webBrowser1_->Navigate(kBlank);
        SetViewerTag(QString());
        UI().MsgBox(Trans(QStringLiteral("不能读出此成员的生平事迹：")) + e.Description(), vb::Critical);
        return false;
    } catch (const std::exception& e) {
        webBrowser1_->Navigate(kBlank);
        SetViewerTag(QString());
        UI().MsgBox(Trans(QStringLiteral("不能读出此成员的生平事迹：")) + QString::fromUtf8(e.what()),
                    vb::Critical);
        return false;
    }
    webBrowser1_->Navigate(missing ? kBlank : file);
    SetViewerTag(missing ? QStringLiteral("-1") : QStringLiteral("0"));
    return true;
}

void dsptree::ShowMemberPage(const QString& member) {
    showStoredPage(member);
    ShowViewer();
}

void dsptree::leaveEditModeForClick() {
    SetEditMode(false);
    const QString member = TreeTag();
    bool save = true;
    if (!FOpenTag().isEmpty() && !member.isEmpty()) {
        const QString prompt = Trans(QStringLiteral("您是否决定将正在编辑的内容保存在当前节点（ ")) + member +
                               Trans(QStringLiteral(" ）中？"));
        save = UI().MsgBox(prompt, vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes;
    }
    if (save) {
        ProgressScope progress;
        SaveEditedPage(member);
    }
    ShowViewer();
    SetEditingButtonsEnabled(false);
}

void dsptree::TreeVw_MouseDown(int button, const QPoint& pos) {
    AppState& app = App();
    if (button == 2) {
        SetMenuVisible(true);
        if (EditMode()) {
            SetEditMode(false);
            app.FormParamString = SelectedMemberName();
            // The editor holds the page of the member on display, whichever node is selected now.
            const QString member = TreeTag();
            SaveEditedPage(member);
            SetEditingButtonsEnabled(false);
            if (!member.isEmpty()) ShowMemberPage(member);
            ShowViewer();
        }
        PopupNodeMenu(treeVw_->viewport()->mapToGlobal(ToPixels(pos)));
        dragging_ = false;
        return;
    }
    if (treeNodes_->Count() == 0) return;
    if (treeNodes_->Count() == 1) treeNodes_->Select(1);
    mouseDownTwips_ = pos;
    QTreeWidgetItem* item = treeVw_->itemAt(ToPixels(pos));
    setDropHighlight(item ? TreeWidgetNodes::KeyOf(item) : QString());
    if (item) {
        treeVw_->setCurrentItem(item);
        dragNodeKey_ = TreeWidgetNodes::KeyOf(item);
    }
    dragging_ = false;
}

bool dsptree::TreeVw_MouseMove(int button, const QPoint& pos) {
    if (treeNodes_->Count() == 0 || button != 1 || dragging_) return false;
    const QPoint moved = pos - mouseDownTwips_;
    if (qAbs(moved.x()) <= kDragDistanceTwips && qAbs(moved.y()) <= kDragDistanceTwips) return false;
    if (dragNodeKey_.isEmpty()) return false;
    dragging_ = true;
    if (startDrag) startDrag();
    return true;
}

void dsptree::runMemberDrag() {
    auto* drag = new QDrag(treeVw_);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MemberTreeWidget::kDragFormat), dragNodeKey_.toUtf8());
    drag->setMimeData(data);
    if (treeNodes_->Exists(dragNodeKey_)) {
        const QTreeWidgetItem* item = treeNodes_->ItemAt(treeNodes_->IndexOf(dragNodeKey_));
        drag->setPixmap(item->icon(0).pixmap(treeVw_->iconSize()));
    }
    drag->exec(Qt::MoveAction);
}

void dsptree::TreeVw_DragOver(const QPoint& pos) {
    if (!dragging_) return;
    const QTreeWidgetItem* item = pos.x() < 0 ? nullptr : treeVw_->itemAt(ToPixels(pos));
    setDropHighlight(item ? TreeWidgetNodes::KeyOf(item) : QString());
}

void dsptree::TreeVw_DragDrop() {
    AppState& app = App();
    const bool both = !dragNodeKey_.isEmpty() && treeNodes_->Exists(dragNodeKey_) &&
                      !dropHighlightKey_.isEmpty() && treeNodes_->Exists(dropHighlightKey_);
    if (dragging_ && both) {
        const QString source = TextAfterBrace(treeNodes_->TextAt(treeNodes_->IndexOf(dragNodeKey_)));
        const QString target = TextAfterBrace(treeNodes_->TextAt(treeNodes_->IndexOf(dropHighlightKey_)));
        // Dropped where it was picked up: nothing to ask and nothing to move.
        if (source != target) {
            if (MayChange(DataOps().GetMyRight(-1, source))) {
                const QString prompt = Trans(QStringLiteral("是否确定要将 ")) + source +
                                       Trans(QStringLiteral(" 拖动到 ")) + target + QStringLiteral("下？");
                if (UI().MsgBox(prompt, vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes &&
                    SharedMember().拖动到(*treeNodes_, source, target) == 0) {
                    app.RepaginateNeeded = true;
                    DataOps().Del后续分页标志(app.CurrentPage - 1);
                }
            } else {
                UI().MsgBox(Trans(QStringLiteral("创建者不允许拖动！")), vb::Critical);
            }
        }
    }
    dragging_ = false;
    dragNodeKey_.clear();
    setDropHighlight(QString());
}

void dsptree::setDropHighlight(const QString& key) {
    if (key == dropHighlightKey_) return;
    if (!dropHighlightKey_.isEmpty() && treeNodes_->Exists(dropHighlightKey_))
        treeNodes_->ItemAt(treeNodes_->IndexOf(dropHighlightKey_))
            ->setData(0, Qt::BackgroundRole, QVariant());
    dropHighlightKey_ = key;
    if (!key.isEmpty() && treeNodes_->Exists(key))
        treeNodes_->ItemAt(treeNodes_->IndexOf(key))->setBackground(0, kDropHighlight);
}

void dsptree::WebBrowser1_DocumentComplete(const QString& /*address*/) {
    SetDocumentLoaded(true);
}

void dsptree::WriteGenerationLabels(int nodeIndex, bool show) {
    if (nodeIndex < 1 || nodeIndex > treeNodes_->Count()) return;
    Cls子女& member = SharedMember();
    std::vector<QTreeWidgetItem*> pending{treeNodes_->ItemAt(nodeIndex)};
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        QString text = node->text(0);
        if (!show) {
            const qsizetype brace = text.indexOf(QLatin1Char('}'));
            if (brace >= 0) text = text.mid(brace + 1);
        } else {
            const QString name = TextAfterBrace(text);
            text = name;
            // A member without a generation number shows its bare name, as the page display has it.
            if (member.Find自已(name) == 0 && member.lBoy_Generation > kNumberedAbove)
                text = QLatin1Char('{') + QString::number(member.lBoy_Generation) + QLatin1Char('}') + name;
        }
        node->setText(0, text);
        for (int c = node->childCount() - 1; c >= 0; --c) pending.push_back(node->child(c));
    }
}

void dsptree::selectMemberNode(const QString& member) {
    const QString key = TreeNodeSink::MemberKey(member);
    if (!treeNodes_->Exists(key)) return;
    QTreeWidgetItem* node = treeNodes_->ItemAt(treeNodes_->IndexOf(key));
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
    treeVw_->scrollToItem(node);
    treeVw_->setCurrentItem(node);
    TreeVw_NodeClick(node);
}
