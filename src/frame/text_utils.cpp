#include "frame/text_utils.h"

#include "platform/codepage.h"
#include "platform/tree_node_sink.h"
#include "platform/vbcompat.h"

void ReplaceAll(QString& text, const QString& search, const QString& replacement) {
    if (search.isEmpty()) return;
    if (replacement.size() >= search.size()) {
        // Rescanning could loop for ever (the replacement holds the search) or grow the text without
        // bound, so each original occurrence is replaced once, in place: nothing moves out of order.
        text.replace(search, replacement, Qt::CaseSensitive);
        return;
    }
    // Same result as rescanning from the left after each replacement: text further left than one
    // search length before the last replacement did not change and held no occurrence.
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(search, from, Qt::CaseSensitive);
        if (at < 0) return;
        text.replace(at, search.size(), replacement);
        from = qMax<qsizetype>(0, at - search.size() + 1);
    }
}

QString NumToChineseGen(qint16 n) {
    if (n > 9999) return QString::number(n);
    static const QString words[10] = {QStringLiteral("０"), QStringLiteral("一"), QStringLiteral("二"),
                                      QStringLiteral("三"), QStringLiteral("四"), QStringLiteral("五"),
                                      QStringLiteral("六"), QStringLiteral("七"), QStringLiteral("八"),
                                      QStringLiteral("九")};
    const QString digits = QString::number(qAbs(int(n)));
    auto digitFromRight = [&](int place) { return digits.at(digits.size() - 1 - place).digitValue(); };

    QString r;
    const int u = digitFromRight(0);
    if (u != 0) r = words[u];
    if (digits.size() > 1) {
        const int t = digitFromRight(1);
        r = (t != 0 ? words[t] + QStringLiteral("十") : QStringLiteral("０")) + r;
    }
    if (digits.size() > 2) {
        const int h = digitFromRight(2);
        r = (h != 0 ? words[h] + QStringLiteral("百") : QStringLiteral("００")) + r;
    }
    if (digits.size() > 3) {
        const int k = digitFromRight(3);
        if (k != 0) r = words[k] + QStringLiteral("千") + r;
    }
    ReplaceAll(r, QStringLiteral("００"), QStringLiteral("０"));
    if (r.endsWith(QStringLiteral("０"))) r.chop(1);
    if (n >= 10 && n <= 19) r.remove(0, 1);
    if (n < 0) r.prepend(QStringLiteral("前"));
    if (n == 0) r.prepend(QStringLiteral("始"));
    return r;
}

QString CountCharKinds(const QString& text) {
    int wide = 0;
    int narrow = 0;
    for (QChar c : text) {
        const int code = Asc936(c);
        if (code < 1 || code > 255)
            ++wide;
        else
            ++narrow;
    }
    return QString::number(wide) + u'%' + QString::number(narrow);
}

QString PadToWidth(const QVariant& value, int width) {
    const QString text = value.isNull() ? QString() : value.toString();
    if (width <= 0) return text;
    const QString s = text + QString(width, u' ');
    int columns = 0;
    qsizetype walked = 0;
    while (columns < width) {
        const int code = Asc936(s.at(walked));
        columns += (code < 0 || code > 256) ? 2 : 1;
        ++walked;
    }
    if (columns > width) return s.left(walked - 1) + u' ';
    return s.left(walked);
}

QString PadToWidthRight(const QString& text, int width) {
    const QString t = PadToWidth(text, width);
    return (QString(qMax(width, 0), u' ') + Trim(t)).right(t.size());
}

QString StripBracketSuffix(const QString& text) {
    const qsizetype at = text.indexOf(u'[');
    return at < 0 ? text : text.left(at);
}

QString TextAfterBrace(const QString& text) {
    const qsizetype at = text.indexOf(u'}');
    return at < 0 ? text : Trim(text.mid(at + 1));
}

void ClearTreeNodes(TreeNodeSink& tree) {
    try {
        tree.Clear();
    } catch (...) {
        // A tree that cannot be emptied keeps its nodes; the caller refills what it can.
    }
}
