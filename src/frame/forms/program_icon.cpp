#include "frame/forms/program_icon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

QIcon ProgramIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9c, 0x1f, 0x1f));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setPen(QColor(0xf6, 0xe7, 0xc1));
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(42);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, 64, 62), Qt::AlignCenter, QStringLiteral("谱"));
    return QIcon(pixmap);
}

QString ProgramCaption() {
    return QStringLiteral("Qentara族谱");
}
