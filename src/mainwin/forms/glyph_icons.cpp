#include "mainwin/forms/glyph_icons.h"

#include <QAction>
#include <QFont>
#include <QPainter>
#include <QPixmap>

#include "mainwin/forms/main_window_shared.h"

namespace {

constexpr int kSide = 32;  // drawn large, scaled down by the views

QPixmap Tile(const QString& glyph, const QColor& colour, bool round) {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QRectF box(1, 1, kSide - 2, kSide - 2);
    if (round)
        p.drawEllipse(box);
    else
        p.drawRoundedRect(box, 6, 6);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(glyph.size() > 1 ? 13 : 20);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kSide, kSide - 1), Qt::AlignCenter, glyph);
    return pixmap;
}

}  // namespace

QIcon GlyphIcon(const QString& glyph, const QColor& colour) {
    return QIcon(Tile(glyph, colour, false));
}

void SetGlyphIcon(QAction* action, const QString& glyph, const QColor& colour) {
    const QString caption = action->text();
    const qsizetype at = caption.indexOf(glyph);
    const auto draw = [action, glyph, colour, caption, at] {
        const QString text = action->text();
        // Enabling a button changes it too; only a new caption can change its glyph.
        if (action->property("glyphCaption").toString() == text && action->property("glyph").isValid())
            return;
        action->setProperty("glyphCaption", text);
        QString shown = glyph;
        if (text != caption)
            shown =
                at >= 0 && text.size() == caption.size() ? text.mid(at, glyph.size()) : mainwin::Trans(glyph);
        if (action->property("glyph").toString() == shown) return;
        action->setProperty("glyph", shown);
        action->setIcon(GlyphIcon(shown, colour));
    };
    action->setProperty("glyphColour", colour);
    draw();
    QObject::connect(action, &QAction::changed, action, draw);
}

QList<QIcon> TreeNodeImages() {
    // In the language in force when the window is made, as its captions will be.
    using mainwin::Trans;
    return {QIcon(Tile(Trans(QStringLiteral("男")), QColor(0x2f, 0x5d, 0x9a), true)),
            QIcon(Tile(Trans(QStringLiteral("女")), QColor(0xb0, 0x3a, 0x5b), true)),
            QIcon(Tile(Trans(QStringLiteral("祖")), QColor(0x9c, 0x1f, 0x1f), true)),
            QIcon(Tile(Trans(QStringLiteral("选")), QColor(0xd0, 0x8a, 0x10), true))};
}
