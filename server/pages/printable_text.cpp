#include "pages/printable_text.h"

QString PrintableText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        switch (c.category()) {
            case QChar::Other_Control:
            case QChar::Other_Format:
            case QChar::Other_Surrogate:
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph: {
                const bool latin = c.unicode() < 0x100;
                shown += (latin ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                         QString::number(c.unicode(), 16).toUpper().rightJustified(latin ? 2 : 4, u'0');
                break;
            }
            default:
                if (c == u'\\') shown += u'\\';  // so that an escape in the text cannot pass for one of ours
                shown += c;
        }
    }
    return shown;
}
