#include "mainwin/forms/member_tree_widget.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "mainwin/forms/dsptree.h"

const char* const MemberTreeWidget::kDragFormat = "application/x-qentara-member";

namespace {

constexpr int kTwipsPerPixel = 15;

QPoint PointOf(const QMouseEvent* event) {
    return event->position().toPoint();
}

// The window's handlers take positions in twips.
QPoint Twips(const QPoint& pixels) {
    return pixels * kTwipsPerPixel;
}

}  // namespace

MemberTreeWidget::MemberTreeWidget(dsptree* window, QWidget* parent) : QTreeWidget(parent), window_(window) {
    setObjectName(QStringLiteral("TreeVw"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setIconSize(QSize(16, 16));
}

void MemberTreeWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        window_->TreeVw_MouseDown(2, Twips(PointOf(event)));
        return;
    }
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    window_->TreeVw_MouseDown(1, Twips(PointOf(event)));
    // A press on a node's label is a click on the node; one on the expand sign is not.
    QTreeWidgetItem* item = itemAt(PointOf(event));
    if (item && visualItemRect(item).contains(PointOf(event))) window_->TreeVw_NodeClick(item);
}

void MemberTreeWidget::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        window_->TreeVw_MouseMove(1, Twips(PointOf(event)));
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void MemberTreeWidget::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (currentItem() && currentItem() != before) window_->TreeVw_NodeClick(currentItem());
}

void MemberTreeWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kDragFormat)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MemberTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
    window_->TreeVw_DragOver(Twips(event->position().toPoint()));
    event->acceptProposedAction();
}

void MemberTreeWidget::dragLeaveEvent(QDragLeaveEvent* event) {
    window_->TreeVw_DragOver(QPoint(-1, -1));
    event->accept();
}

void MemberTreeWidget::dropEvent(QDropEvent* event) {
    window_->TreeVw_DragOver(Twips(event->position().toPoint()));
    window_->TreeVw_DragDrop();
    event->acceptProposedAction();
}
