#include "member/template_files.h"

#include <QFile>
#include <QSaveFile>

#include "platform/codepage.h"
#include "platform/disk_full.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString Quoted(QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("＂"));
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Blanks as the old line reader dropped them: spaces and tabs.
bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool ToWholeNumber(const QString& item, int& value) {
    bool ok = false;
    value = item.toInt(&ok);
    return ok;
}

}  // namespace

ZptFileError::ZptFileError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

QString ZptFile::FormatLine(const Row& row) {
    return Quoted(row.colName) + QLatin1Char(',') + Quoted(row.templateName) + QLatin1Char(',') +
           QString::number(row.colVisible) + QLatin1Char(',') + QString::number(row.seqno);
}

QStringList ZptFile::SplitLine(const QString& line, bool& ok) {
    QStringList items;
    ok = true;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i < n && line[i] == QLatin1Char('"')) {
            const qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0) {
                ok = false;
                return items;
            }
            items << line.mid(i + 1, close - i - 1);
            // Whatever follows the closing quote up to the comma is not part of the item.
            i = close + 1;
            while (i < n && line[i] != QLatin1Char(',')) ++i;
        } else {
            qsizetype comma = line.indexOf(QLatin1Char(','), i);
            if (comma < 0) comma = n;
            QString item = line.mid(i, comma - i);
            while (!item.isEmpty() && IsBlank(item.back())) item.chop(1);
            items << item;
            i = comma;
        }
        if (i >= n) break;
        ++i;  // the comma
    }
    return items;
}

void ZptFile::Write(const QString& path, const QList<Row>& rows) {
    QString text;
    for (const Row& row : rows) text += FormatLine(row) + kCrLf;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw ZptFileError(QStringLiteral("模板文件无法写入：") + path);
    file.write(ToGb18030(text));
    if (!CommitWhole(file)) throw ZptFileError(QStringLiteral("模板文件无法写入：") + path);
}

QList<ZptFile::Row> ZptFile::Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw ZptFileError(QStringLiteral("模板文件无法读取：") + path);
    const QString text = FromGb18030(file.readAll());
    if (file.error() != QFileDevice::NoError) throw ZptFileError(QStringLiteral("模板文件无法读取：") + path);

    QList<Row> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QString line = lines[number];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        bool ok = false;
        const QStringList items = SplitLine(line, ok);
        Row row;
        if (ok && items.size() == 4 && ToWholeNumber(items[2], row.colVisible) &&
            ToWholeNumber(items[3], row.seqno) && row.colVisible >= -32768 && row.colVisible <= 32767) {
            row.colName = items[0];
            row.templateName = items[1];
            rows << row;
            continue;
        }
        throw ZptFileError(QStringLiteral("模板文件格式不正确（第%1行）：").arg(number + 1) + path);
    }
    return rows;
}
