#include "store/page_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include "platform/codepage.h"
#include "platform/vbcompat.h"

namespace {

constexpr int kFileAccessError = 75;

const QString kCharsetMeta =
    QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\">");

}  // namespace

void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw VbError(kFileAccessError, QStringLiteral("不能写入文件 '%1'。").arg(path));
}

void WriteHtmlFile(const QString& path, QString text) {
    static const QRegularExpression charsetMeta(QStringLiteral("<meta\\b[^>]*charset[^>]*>"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression headOpen(QStringLiteral("<head\\b[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
    text.remove(charsetMeta);
    const QRegularExpressionMatch head = headOpen.match(text);
    if (head.hasMatch())
        text.insert(head.capturedEnd(), kCharsetMeta);
    else
        text.prepend(kCharsetMeta + QStringLiteral("\r\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    WriteWholeFile(path, ToGb18030(text));
}
