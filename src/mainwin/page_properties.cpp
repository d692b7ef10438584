#include "mainwin/page_properties.h"

#include <QColor>
#include <QRegularExpression>

namespace page_colours {

namespace {

QColor Parse(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return {};
    QColor colour = QColor::fromString(trimmed);
    static const QRegularExpression bareHex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!colour.isValid() && bareHex.match(trimmed).hasMatch())
        colour = QColor::fromString(QLatin1Char('#') + trimmed);
    return colour;
}

}  // namespace

QString RGB2HTML(quint32 colour) {
    const QColor c(int(colour & 0xff), int((colour >> 8) & 0xff), int((colour >> 16) & 0xff));
    return c.name(QColor::HexRgb).toUpper();
}

quint32 HTML2RGB(const QString& text) {
    const QColor c = Parse(text);
    if (!c.isValid()) return 0;
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

bool IsColour(const QString& text) {
    return Parse(text).isValid();
}

}  // namespace page_colours
