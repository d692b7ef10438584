#include "print/chm_doc.h"

#include <sys/prctl.h>
#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

#include "frame/progress.h"
#include "frame/text_utils.h"
#include "member/member_record.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"
#include "platform/dao/dao_error.h"
#include "platform/disk_full.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_html_export.h"
#include "print/print_messages.h"
#include "store/data_ops.h"
#include "store/page_file.h"

namespace {

using print::Trans;

const QString kStartPage = QStringLiteral("sp.htm");
// What Compile answers when the compiler found no room: the caller names the e-book.
const QString kNoRoom = QStringLiteral("no room");
constexpr int kCompileTimeoutMs = 30 * 60 * 1000;

QString& CompilerProgram() {
    static QString program = QStringLiteral("chmcmd");
    return program;
}

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

// Help-project files are GB18030 with CR LF line ends.
void WriteLines(const QString& path, const QString& text) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    WriteWholeFile(path, ToGb18030(crlf));
}

const QString kCharsetMeta =
    QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\">");

// chmcmd follows a page's pictures and links only when the character-set declaration sits in a head
// inside the html element: a page written without a head gets one.
void FitForCompiler(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    QString text = FromGb18030(file.readAll());
    file.close();
    const QString prepended = kCharsetMeta + QStringLiteral("\r\n");
    if (!text.startsWith(prepended)) return;
    text.remove(0, prepended.size());
    static const QRegularExpression htmlTag(QStringLiteral("<html\\b[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch html = htmlTag.match(text);
    const QString head = QStringLiteral("<head>") + kCharsetMeta + QStringLiteral("</head>");
    if (html.hasMatch())
        text.insert(html.capturedEnd(), head);
    else
        text = QStringLiteral("<html>") + head + QStringLiteral("<body>\r\n") + text +
               QStringLiteral("</body></html>\r\n");
    WriteWholeFile(path, ToGb18030(text));
}

}  // namespace

ClsChmDoc::ClsChmDoc() = default;
ClsChmDoc::~ClsChmDoc() = default;

Cls子女& ClsChmDoc::Member() {
    if (!member_) member_ = std::make_unique<Cls子女>();
    return *member_;
}

Cls数据操作& ClsChmDoc::Ops() {
    if (!ops_) ops_ = std::make_unique<Cls数据操作>();
    return *ops_;
}

QString ClsChmDoc::Compiler() {
    return CompilerProgram();
}

void ClsChmDoc::SetCompiler(const QString& program) {
    CompilerProgram() = program;
}

void ClsChmDoc::gn_SP(const QString& folder) {
    QDir().mkpath(folder + QStringLiteral("images"));
    WriteWholeFile(folder + kStartPage, QByteArrayLiteral("<HTML><BODY><P>&nbsp;</P></BODY></HTML>\r\n"));
}

void ClsChmDoc::gn_hhp(const QString& folder, const QString& file, const QString& name) {
    WriteLines(folder + file + QStringLiteral(".hhp"), QStringLiteral("[Options]\n"
                                                                      "Compatibility = 1.1 Or later\n"
                                                                      "Compiled file =%1.chm\n"
                                                                      "Contents file =%1.hhc\n"
                                                                      "Default topic =sp.htm\n"
                                                                      "Display compile progress=No\n"
                                                                      "Index file =%1.hhk\n"
                                                                      "Language=0x804 中文(中国)\n"
                                                                      "Title =%2\n"
                                                                      "[Files]\n"
                                                                      "sp.htm\n"
                                                                      "[INFOTYPES]\n")
                                                           .arg(file, name));
}

void ClsChmDoc::N_Open_Chm(const ChmTocNode& node, QString& contents, QString& index, const QString& folder,
                           bool showDetails) {
    const QString key = TextAfterBrace(node.text);
    QString page = kStartPage;
    // A member that cannot be found points at the start page: its page name would be another's.
    if (Member().Find自已(key) == 0) {
        const QString own = QStringLiteral("z%1.htm").arg(Member().lBoy_ID);
        const bool noPage = Ops().GetAnyHtml2(folder + own, key, showDetails);
        if (!noPage) {
            page = own;
            FitForCompiler(folder + own);
            const QStringList keywords = Ops().GetP_key(key).split(u'%');
            for (qsizetype i = 0; i + 1 < keywords.size(); ++i) {
                index += QStringLiteral("<LI> <OBJECT type=\"Text/sitemap\">\n");
                index += QStringLiteral("<param name=\"Name\" value=\"") + Esc(keywords[i]) +
                         QStringLiteral("\">\n");
                index += QStringLiteral("<param name=\"Local\" value=\"") + page + QStringLiteral("\">\n");
                index += QStringLiteral("</OBJECT>\n");
            }
        }
    }
    DoEvents();

    const qsizetype children = qsizetype(node.children.size());
    const QString shown = Esc(StripBracketSuffix(node.text));
    const QString indent(depth_ * 4, u' ');
    contents += indent + QStringLiteral("<LI> <OBJECT type=\"Text/sitemap\">\n");
    contents +=
        indent + QStringLiteral("      <param name=\"name\" value=\"") + shown + QStringLiteral("\">\n");
    contents +=
        indent + QStringLiteral("      <param name=\"Local\" value=\"") + page + QStringLiteral("\">\n");
    if (children == 0)
        contents += indent + QStringLiteral("      <param name=\"ImageNumber\" value=\"11\">\n");
    contents += indent + QStringLiteral("      </OBJECT>\n");

    // The depth shapes only the indentation; a leaf takes one step back, as the old files had it.
    if (children == 0) {
        depth_ = qint16(std::max(0, depth_ - 1));
        return;
    }
    depth_ = qint16(depth_ + 1);
    contents += QString(depth_ * 4, u' ') + QStringLiteral("<UL>\n");
    for (const ChmTocNode& child : node.children) N_Open_Chm(child, contents, index, folder, showDetails);
    contents += QString(depth_ * 4, u' ') + QStringLiteral("</UL>\n");
}

QString ClsChmDoc::Compile(const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    // The compiler goes with the program: left running after a crash, it would write into a work folder
    // the next start removes.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(Compiler(), {WorkName() + QStringLiteral(".hhp")});
    if (!process.waitForStarted()) return Trans(QStringLiteral("无法启动 chmcmd（请安装 fp-utils）。"));
    QElapsedTimer clock;
    clock.start();
    // The events run meanwhile may see the compiler end first: waiting then answers false at once.
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(50)) {
        DoEvents();
        if (clock.elapsed() > kCompileTimeoutMs) {
            process.kill();
            process.waitForFinished();
            return Trans(QStringLiteral("chmcmd 超时未完成。"));
        }
    }
    const QString chm = folder + WorkName() + QStringLiteral(".chm");
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
        // The compiler's runtime says "Disk write error" as its error 101.
        if (NoRoomLeftAt(folder) || output.contains(QLatin1String("error 101"))) return kNoRoom;
        return Trans(QStringLiteral("chmcmd 报告错误（%1）：")).arg(process.exitCode()) + output.right(400);
    }
    // chmcmd answers 0 even when it found no project: only the e-book itself tells.
    if (QFileInfo(chm).size() <= 0)
        return NoRoomLeftAt(folder) ? kNoRoom : Trans(QStringLiteral("chmcmd 没有生成电子书。"));
    return QString();
}

bool ClsChmDoc::init_Nopen_Chm(const ChmTocNode& node, bool showDetails) {
    ProgressScope progress;
    const QString name = StripBracketSuffix(TextAfterBrace(node.text));
    const QString chmFolder = GetAppPath() + QStringLiteral("chm/");
    const QString target = chmFolder + ChartFileName(name, QStringLiteral("book"), QStringLiteral(".chm"));
    QString failure;
    {
        QDir().mkpath(chmFolder);
        // Removed with everything in it when the build ends, however it ends.
        QTemporaryDir work(chmFolder + QStringLiteral(".ebook-XXXXXX"));
        if (!work.isValid()) {
            failure =
                NoRoomLeftAt(chmFolder) ? kNoRoom : Trans(QStringLiteral("无法建立工作文件夹：")) + chmFolder;
        } else {
            const QString folder = work.path() + u'/';
            try {
                gn_SP(folder);
                gn_hhp(folder, WorkName(), name);
                QString contents = QStringLiteral(
                    "<HTML><BODY>\n<OBJECT type=\"text/site properties\">\n"
                    "<param name=\"Window Styles\" value=\"0x800227\"></OBJECT>\n<UL>\n");
                QString index = QStringLiteral("<HTML><BODY>\n<UL>\n");
                depth_ = 0;
                N_Open_Chm(node, contents, index, folder, showDetails);
                contents += QStringLiteral("</UL>\n</BODY></HTML>\n");
                index += QStringLiteral("</UL>\n</BODY></HTML>\n");
                WriteLines(folder + WorkName() + QStringLiteral(".hhc"), contents);
                WriteLines(folder + WorkName() + QStringLiteral(".hhk"), index);
                failure = Compile(folder);
                // Put in place in one step, over an earlier e-book of the same name: however the build
                // ends, one of the two is there.
                if (failure.isEmpty() &&
                    std::rename(QFile::encodeName(folder + WorkName() + QStringLiteral(".chm")).constData(),
                                QFile::encodeName(target).constData()) != 0)
                    failure = Trans(QStringLiteral("不能写入文件 ")) + target;
            } catch (const VbError& e) {
                // Every file written so far is a work file: a full disk is told by the e-book's name.
                failure = e.number == kErrDiskFull ? kNoRoom : e.Description();
            } catch (const dao::DaoError& e) {
                failure = e.Description();
            }
        }
    }
    if (failure == kNoRoom) failure = DiskFullText(target);
    Progress().Hide();
    if (!failure.isEmpty()) {
        UI().MsgBox(Trans(QStringLiteral("电子书未能生成：")) + failure, vb::Critical);
        return false;
    }
    UI().MsgBox(QStringLiteral("文件已生成,存放在：") + target, vb::OKOnly);
    return true;
}
