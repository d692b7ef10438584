#pragma once

#include <QLayout>
#include <QList>

// The bands of a cool bar: the toolbars stand side by side and wrap into a new row when the window is
// too narrow for them, so that no button is ever cut off; the bar grows by a row as they wrap.
class BandLayout : public QLayout {
public:
    explicit BandLayout(QWidget* parent = nullptr);
    ~BandLayout() override;

    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items (when apply is set) and answers the height they take.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
};
