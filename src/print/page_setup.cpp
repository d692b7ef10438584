#include "print/page_setup.h"

#include <QFont>
#include <QPageLayout>
#include <QPainter>

#include "frame/reg_access.h"
#include "print/print_messages.h"

namespace page_setup {

namespace {

// Our own key: the values never reach another program's settings.
const QString kKey = QStringLiteral("Software\\QentaraZp\\PageSetup\\");
const QString kSeparator = QStringLiteral("&b");

}  // namespace

QString Value(const QString& name) {
    return ClsRegAccess().GetKeyValue(qint32(ClsRegAccess::kCurrentUser), kKey, name);
}

bool Store(const QString& name, const QString& value) {
    return ClsRegAccess().WriteValue(qint32(ClsRegAccess::kCurrentUser), kKey, name, ClsRegAccess::kRegSz,
                                     value);
}

QString PageText() {
    return print::Trans(QStringLiteral("第 &p/&P 页"));
}

QString FooterFor(bool pageNumbers, const QString& alignment) {
    if (!pageNumbers) return QString();
    const QString text = PageText();
    if (alignment == print::Trans(QStringLiteral("靠右"))) return kSeparator + text;
    if (alignment == print::Trans(QStringLiteral("居中"))) return kSeparator + text + kSeparator;
    return text;
}

QString AlignmentOf(const QString& footer) {
    if (!footer.startsWith(kSeparator)) return print::Trans(QStringLiteral("靠左"));
    if (footer.size() > kSeparator.size() && footer.endsWith(kSeparator))
        return print::Trans(QStringLiteral("居中"));
    return print::Trans(QStringLiteral("靠右"));
}

Line Expand(const QString& codes, int page, int pageCount) {
    QString text = codes;
    // "&&" is a literal ampersand; it must not start a code.
    const QChar kept(0xE000);
    text.replace(QStringLiteral("&&"), QString(kept));
    text.replace(QStringLiteral("&p"), QString::number(page));
    text.replace(QStringLiteral("&P"), QString::number(pageCount));
    const QStringList parts = text.split(kSeparator);
    Line line;
    line.left = parts.value(0);
    if (parts.size() == 2) line.right = parts[1];
    if (parts.size() >= 3) {
        line.centre = parts[1];
        line.right = parts.mid(2).join(QString());
    }
    for (QString* part : {&line.left, &line.centre, &line.right}) part->replace(kept, u'&');
    return line;
}

void DrawHeaderFooter(QPainter& painter, const QRectF& paper, const QPageLayout& layout,
                      const QString& header, const QString& footer, int page, int pageCount) {
    if (header.isEmpty() && footer.isEmpty()) return;
    const qreal perMm = paper.height() / layout.fullRect(QPageLayout::Millimeter).height();
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    const QRectF inner(paper.left() + margins.left() * perMm, paper.top(),
                       paper.width() - (margins.left() + margins.right()) * perMm, paper.height());
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC")});
    font.setPointSizeF(9);
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    const auto drawLine = [&](const QString& codes, const QRectF& band) {
        if (codes.isEmpty()) return;
        const Line line = Expand(codes, page, pageCount);
        painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, line.left);
        painter.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, line.centre);
        painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, line.right);
    };
    drawLine(header, QRectF(inner.left(), paper.top(), inner.width(), margins.top() * perMm));
    drawLine(footer, QRectF(inner.left(), paper.bottom() - margins.bottom() * perMm, inner.width(),
                            margins.bottom() * perMm));
    painter.restore();
}

}  // namespace page_setup
