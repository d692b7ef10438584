#include "store/page_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>

#include "platform/codepage.h"
#include "platform/disk_full.h"
#include "platform/vbcompat.h"

namespace {

constexpr int kFileAccessError = 75;

const QString kCharsetMeta =
    QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\">");

// Every line end becomes CR LF; a text that has only those already is left as it is.
void CrLfLineEnds(QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (; i < n; ++i) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            ++i;
        } else if (text[i] == u'\r' || text[i] == u'\n') {
            break;
        }
    }
    if (i >= n) return;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

// A refused write, told as a full disk when there was no room for it. Called at once after the failed
// call, while errno is still its own.
[[noreturn]] void ThrowWriteError(const QString& path) {
    const int error = errno;
    if (IsNoRoomError(error) || NoRoomLeftAt(path)) throw VbError(kErrDiskFull, DiskFullText(path));
    throw VbError(kFileAccessError, QStringLiteral("不能写入文件 '%1'。").arg(path));
}

QString& PageLanguage() {
    static QString tag;
    return tag;
}

// The root element names the language of the scope, unless it names one of its own.
void TagLanguage(QString& text) {
    const QString& tag = PageLanguage();
    if (tag.isEmpty()) return;
    static const QRegularExpression root(QStringLiteral("<html\\b([^>]*)>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression named(QStringLiteral("\\blang\\s*="),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch html = root.match(text);
    const QString attribute = QStringLiteral(" lang=\"") + tag + QLatin1Char('"');
    if (!html.hasMatch())
        text.prepend(QStringLiteral("<html") + attribute + QStringLiteral(">\r\n"));
    else if (!named.match(html.captured(1)).hasMatch())
        text.insert(html.capturedStart(1), attribute);
}

}  // namespace

PageLanguageScope::PageLanguageScope(const QString& tag) : previous_(PageLanguage()) {
    PageLanguage() = tag;
}

PageLanguageScope::~PageLanguageScope() {
    PageLanguage() = previous_;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !CommitWhole(file))
        ThrowWriteError(path);
}

void WriteHtmlFile(const QString& path, QString text) {
    HtmlFileWriter file(path);
    file.Write(std::move(text));
    file.Commit();
}

HtmlFileWriter::HtmlFileWriter(const QString& path, bool workFile) {
    if (workFile)
        file_ = std::make_unique<QFile>(path);
    else
        file_ = std::make_unique<QSaveFile>(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!file_->open(QIODevice::WriteOnly)) ThrowWriteError(path);
}

QByteArray HtmlFileWriter::Write(QString text) {
    static const QRegularExpression charsetMeta(QStringLiteral("<meta\\b[^>]*charset[^>]*>"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression headOpen(QStringLiteral("<head\\b[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
    text.remove(charsetMeta);
    if (!started_) {
        started_ = true;
        const QRegularExpressionMatch head = headOpen.match(text);
        if (head.hasMatch())
            text.insert(head.capturedEnd(), kCharsetMeta);
        else
            text.prepend(kCharsetMeta + QStringLiteral("\r\n"));
        TagLanguage(text);
    }
    CrLfLineEnds(text);
    const QByteArray bytes = ToGb18030(text);
    WriteBytes(bytes);
    return bytes;
}

void HtmlFileWriter::WriteBytes(const QByteArray& bytes) {
    started_ = true;
    if (file_->write(bytes) != bytes.size()) ThrowWriteError(file_->fileName());
}

void HtmlFileWriter::Commit() {
    if (!started_) Write(QString());
    bool written = false;
    if (auto* whole = dynamic_cast<QSaveFile*>(file_.get())) {
        written = CommitWhole(*whole);
    } else {
        written = file_->flush();
        file_->close();
    }
    if (!written) ThrowWriteError(file_->fileName());
}
