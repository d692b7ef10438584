#include "mainwin/forms/band_layout.h"

#include <QWidget>
#include <algorithm>

namespace {

constexpr int kGap = 2;

}  // namespace

BandLayout::BandLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(kGap, kGap, kGap, kGap);
    setSpacing(kGap);
}

BandLayout::~BandLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

QLayoutItem* BandLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_.takeAt(index);
}

QSize BandLayout::sizeHint() const {
    // One row of every band.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        width += item->sizeHint().width() + spacing();
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize BandLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : items_) size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void BandLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int BandLayout::arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    // A row is filled left to right; the last band of a row is stretched to the right edge, as the
    // bands of a cool bar are.
    QList<QLayoutItem*> row;
    const auto placeRow = [&] {
        if (!apply || row.isEmpty()) return;
        int left = area.x();
        for (qsizetype i = 0; i < row.size(); ++i) {
            QLayoutItem* item = row.at(i);
            int width = item->sizeHint().width();
            if (i + 1 == row.size()) width = std::max(width, area.right() + 1 - left);
            item->setGeometry(QRect(left, y, width, rowHeight));
            left += width + spacing();
        }
    };
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize hint = item->sizeHint();
        if (!row.isEmpty() && x + hint.width() > area.right() + 1) {
            placeRow();
            row.clear();
            x = area.x();
            y += rowHeight + spacing();
            rowHeight = 0;
        }
        row.append(item);
        x += hint.width() + spacing();
        rowHeight = std::max(rowHeight, hint.height());
    }
    placeRow();
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}
