#include "print/chart_html_export.h"

#include <QSaveFile>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"
#include "platform/disk_full.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_text.h"
#include "print/print_messages.h"

namespace {

using print::Trans;

constexpr int kMaxFileNameBytes = 255;

QString EscapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
            case u'&':
                out += QStringLiteral("&amp;");
                break;
            case u'<':
                out += QStringLiteral("&lt;");
                break;
            case u'>':
                out += QStringLiteral("&gt;");
                break;
            case u'"':
                out += QStringLiteral("&quot;");
                break;
            case u'\'':
                out += QStringLiteral("&#39;");
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

QString ChartFileName(const QString& title, const QString& fallback, const QString& extension) {
    QString name = Trim(title);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) c = u'_';
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..")) name = fallback;
    while ((name + extension).toUtf8().size() > kMaxFileNameBytes) name.chop(1);
    return name + extension;
}

QString ExportChartHtml(const ChartText& chart) {
    const QString title = Trim(chart.title);
    const QString path =
        GetAppPath() + ChartFileName(title, QStringLiteral("tmpExcel"), QStringLiteral(".htm"));
    const int generations = App().PrintGenerationsPerRow;

    QStringList lines{
        QStringLiteral("<html>"),
        QStringLiteral(
            "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\"></head>"),
        // The alignment is made of spaces and double-width characters: it holds in a CJK monospace face.
        QStringLiteral(
            "<body style=\"font-family: 'Noto Sans Mono CJK SC', 'NSimSun', 'SimSun', monospace\">"),
        QStringLiteral("<p align='center'><b><font size='5' color='#FF0000'>") + EscapeHtml(title) +
            QStringLiteral("</font></b></p>"),
        QStringLiteral(
            "<p align='center'><b><font size='3' color='#0000FF'>(Qentara族谱%1.%2.%3）</font></b></p>")
            .arg(kRunningMajor)
            .arg(kRunningMinor)
            .arg(kRunningRevision)};
    for (const QString& row : chart.lines) {
        const QString text = RTrim(row);
        const bool header = IsGenerationHeaderLine(text, generations);
        const QString line = EscapeHtml(text).replace(u' ', QStringLiteral("&nbsp;"));
        lines << (header ? QStringLiteral("<font color='#FF00FF'>") + line + QStringLiteral("</font><br>")
                         : line + QStringLiteral("<br>"));
    }
    lines << QStringLiteral("</body>") << QStringLiteral("</html>");

    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        file.write(ToGb18030(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        written = CommitWhole(file);
    }
    if (!written) {
        UI().MsgBox(
            Trans(QStringLiteral("不能写入Html文件：")) + path + QLatin1Char('\n') + file.errorString(),
            vb::Critical);
        return QString();
    }
    UI().MsgBox(Trans(QStringLiteral("已转换成Html文件：")) + path, vb::Information);
    return path;
}
