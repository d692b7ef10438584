#include "print/forms/gap_radio_button.h"

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

GapRadioButton::GapRadioButton(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {}

void GapRadioButton::SetGapWidth(int pixels) {
    gapWidth_ = pixels;
    update();
}

GapRadioButton::Pieces GapRadioButton::Split() const {
    const QString caption = text();
    const qsizetype first = caption.indexOf(u' ');
    if (first < 0) return {caption, QString(), QString()};
    qsizetype end = first;
    while (end < caption.size() && caption[end] == u' ') ++end;
    return {caption.left(first), caption.mid(first, end - first), caption.mid(end)};
}

QRect GapRadioButton::TextRect() const {
    QStyleOptionButton look;
    initStyleOption(&look);
    return style()->subElementRect(QStyle::SE_RadioButtonContents, &look, this);
}

QRect GapRadioButton::GapRect() const {
    const Pieces pieces = Split();
    if (pieces.gap.isEmpty()) return QRect();
    const QFontMetrics metrics(font());
    const QRect text = TextRect();
    const int width = std::max(metrics.horizontalAdvance(pieces.gap), gapWidth_);
    return QRect(text.left() + metrics.horizontalAdvance(pieces.before), 0, width, height());
}

void GapRadioButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton look;
    initStyleOption(&look);
    const Pieces pieces = Split();
    if (pieces.gap.isEmpty()) {
        painter.drawControl(QStyle::CE_RadioButton, look);
        return;
    }
    // The indicator as the style draws it, then the caption's words on either side of the gap.
    look.text.clear();
    painter.drawControl(QStyle::CE_RadioButton, look);
    const QRect text = TextRect();
    const QRect gap = GapRect();
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    style()->drawItemText(&painter, QRect(text.left(), text.top(), gap.left() - text.left(), text.height()),
                          flags, look.palette, isEnabled(), pieces.before, QPalette::WindowText);
    style()->drawItemText(&painter,
                          QRect(gap.right() + 1, text.top(), width() - gap.right() - 1, text.height()), flags,
                          look.palette, isEnabled(), pieces.after, QPalette::WindowText);
}
