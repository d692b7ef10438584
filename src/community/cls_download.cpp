#include "community/cls_download.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimer>

#include "community/translated.h"
#include "platform/disk_full.h"
#include "platform/http/http_client.h"
#include "platform/http/tls_trust.h"

namespace {

constexpr qint64 kPiece = 64 * 1024;
// What the request may hold unread before the socket stops taking data (between Execute and
// StartDownLoad, or while a GetData handler runs).
constexpr qint64 kReadBuffer = 1024 * 1024;

int& StallSlot() {
    static int ms = 60000;
    return ms;
}

// Eight random capital letters, a new agent for every request.
QByteArray RandomAgent() {
    QByteArray agent;
    for (int i = 0; i < 8; ++i) agent += char('A' + QRandomGenerator::global()->bounded(26));
    return agent;
}

QString FileFailure(const QString& path) {
    return Translated(QStringLiteral("不能写入文件“")) + path + Translated(QStringLiteral("”。"));
}

const char* const kKnownHeaders[] = {"Content-Length", "Content-Type", "Date", "Last-Modified", "Server"};

}  // namespace

clsDownLoad::clsDownLoad(QObject* parent) : QObject(parent) {
    stall_ = new QTimer(this);
    stall_->setSingleShot(true);
    connect(stall_, &QTimer::timeout, this, &clsDownLoad::onStall);
}

clsDownLoad::~clsDownLoad() {
    if (file_) file_->cancelWriting();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
}

int clsDownLoad::StallTimeoutMs() {
    return StallSlot();
}

void clsDownLoad::SetStallTimeoutMs(int ms) {
    StallSlot() = ms > 0 ? ms : 60000;
}

void clsDownLoad::Execute() {
    CloseAll();
    headers_.clear();
    headersIn_ = false;
    stalled_ = false;
    status_ = 0;
    reason_.clear();

    QUrl url = BuildUrl(QString(), url_.trimmed(), {});
    if (!url.isValid()) url = QUrl(url_.trimmed(), QUrl::TolerantMode);
    // Addresses come from the server's catalogue: only web addresses, never local files.
    const QString scheme = url.scheme().toLower();
    if (url_.trimmed().isEmpty() || !url.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        emit ErrMassage(Translated(QStringLiteral("下载地址无效：")) + url_);
        return;
    }
    if (!manager_) manager_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, RandomAgent());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The bytes on the wire are the file: no transparent decompression, so Content-Length counts them.
    request.setRawHeader("Accept-Encoding", "identity");
    ApplyServerTrust(request);
    reply_ = manager_->get(request);
    reply_->setReadBufferSize(kReadBuffer);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &clsDownLoad::onMetaData);
    connect(reply_, &QNetworkReply::readyRead, this, &clsDownLoad::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &clsDownLoad::onFinished);

    outcome_ = Outcome::Running;
    stall_->start(StallTimeoutMs());
    QEventLoop loop;
    wait_ = &loop;
    if (reply_ && !headersIn_ && !reply_->isFinished()) loop.exec();
    wait_ = nullptr;
    stall_->stop();

    if (!reply_) {
        // Closed while waiting: by the owner (CloseAll) or by the stall time-out.
        if (stalled_)
            emit ErrMassage(Translated(QStringLiteral("连接服务器超时：")) + url_);
        else if (outcome_ == Outcome::Cancelled)
            emit Cancelled();
        return;
    }
    if (!headersIn_) onMetaData();
    if (status_ == 0) {
        // No HTTP answer at all: refused, unknown host, dropped before the headers.
        const QString reason = reply_->errorString();
        releaseReply();
        emit ErrMassage(Translated(QStringLiteral("无法连接到下载地址：")) + url_ + QStringLiteral(" (") +
                        reason + QLatin1Char(')'));
    }
}

void clsDownLoad::onMetaData() {
    if (!reply_) return;
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) return;
    const int code = status.toInt();
    // Redirects are followed: only the final response counts.
    if (code >= 300 && code < 400 &&
        reply_->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid() && !reply_->isFinished())
        return;
    status_ = code;
    reason_ = reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    headers_ = reply_->rawHeaderPairs();
    headersIn_ = true;
    if (!file_) quitWait();
}

void clsDownLoad::onReadyRead() {
    if (!file_) return;
    stall_->start(StallTimeoutMs());
    drain();
}

bool clsDownLoad::drain() {
    while (reply_ && file_ && reply_->bytesAvailable() > 0) {
        const QByteArray piece = reply_->read(kPiece);
        if (file_->write(piece) != piece.size()) {
            fail(FileFailure(saveFile_));
            return false;
        }
        received_ += piece.size();
        emit GetData(received_);
    }
    return reply_ && file_;
}

void clsDownLoad::onFinished() {
    if (!reply_) return;
    if (!file_) {
        // Finished before StartDownLoad (an error page, a small file, a refused connection): Execute and
        // StartDownLoad read what it left.
        quitWait();
        return;
    }
    if (!drain()) return;
    if (reply_->error() != QNetworkReply::NoError) {
        fail(Translated(QStringLiteral("下载中断：")) + reply_->errorString());
        return;
    }
    if (expected_ >= 0 && received_ != expected_) {
        fail(Translated(QStringLiteral("下载不完整：收到 %1 字节，应有 %2 字节。"))
                 .arg(received_)
                 .arg(expected_));
        return;
    }
    if (!CommitWhole(*file_)) {
        file_.reset();
        fail(FileFailure(saveFile_));
        return;
    }
    file_.reset();
    releaseReply();
    outcome_ = Outcome::Saved;
    quitWait();
    emit DownLoadOver();
}

void clsDownLoad::onStall() {
    if (!reply_) return;
    stalled_ = true;
    if (file_) {
        fail(Translated(QStringLiteral("下载中断：%1 秒没有收到数据。")).arg(StallTimeoutMs() / 1000));
        return;
    }
    releaseReply();
    quitWait();
}

bool clsDownLoad::StartDownLoad() {
    if (!reply_ || !headersIn_) return false;
    received_ = 0;
    outcome_ = Outcome::Running;
    if (!StatusOk()) {
        const QString url = url_;
        releaseReply();
        emit ErrMassage(Translated(QStringLiteral("服务器不能提供文件（%1 %2）："))
                            .arg(status_)
                            .arg(QString::fromLatin1(reason_)) +
                        url);
        return false;
    }
    expected_ = ContentLength();

    file_ = std::make_unique<QSaveFile>(saveFile_);
    if (saveFile_.isEmpty() || !file_->open(QIODevice::WriteOnly)) {
        file_.reset();
        fail(FileFailure(saveFile_));
        return false;
    }
    stall_->start(StallTimeoutMs());
    QEventLoop loop;
    wait_ = &loop;
    if (drain()) {
        if (reply_->isFinished())
            onFinished();
        else
            loop.exec();
    }
    wait_ = nullptr;
    return outcome_ == Outcome::Saved;
}

void clsDownLoad::fail(const QString& message) {
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
    releaseReply();
    outcome_ = Outcome::Failed;
    quitWait();
    emit ErrMassage(message);
}

void clsDownLoad::CloseAll() {
    // Only a close that interrupts a wait is a cancel; closing after a header probe is not.
    const bool waiting = wait_ && reply_ && outcome_ == Outcome::Running;
    const bool downloading = waiting && file_;
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
    releaseReply();
    if (!waiting) return;
    outcome_ = Outcome::Cancelled;
    quitWait();
    // Execute reports its own cancel once its wait has ended.
    if (downloading) emit Cancelled();
}

void clsDownLoad::releaseReply() {
    stall_->stop();
    if (!reply_) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    if (!reply->isFinished()) reply->abort();
    reply->deleteLater();
}

void clsDownLoad::quitWait() {
    if (wait_) wait_->quit();
}

qint64 clsDownLoad::ContentLength() const {
    for (const auto& [key, value] : headers_) {
        if (key.compare("Content-Length", Qt::CaseInsensitive) != 0) continue;
        bool ok = false;
        const qint64 length = value.trimmed().toLongLong(&ok);
        return ok && length >= 0 ? length : -1;
    }
    return -1;
}

QString clsDownLoad::GetHeader(const QString& name) const {
    if (!headersIn_) return QStringLiteral("0");
    const QString wanted = name.toUpper();
    if (wanted.isEmpty()) {
        QString raw = QStringLiteral("HTTP/1.1 %1 %2").arg(status_).arg(QString::fromLatin1(reason_));
        raw += QChar(0);
        for (const auto& [key, value] : headers_)
            raw += QString::fromLatin1(key) + QStringLiteral(": ") + QString::fromLatin1(value) + QChar(0);
        return raw;
    }
    for (const char* known : kKnownHeaders) {
        if (QString::fromLatin1(known).toUpper() != wanted) continue;
        for (const auto& [key, value] : headers_)
            if (key.compare(known, Qt::CaseInsensitive) == 0) return QString::fromLatin1(value);
        return QStringLiteral("0");
    }
    return QStringLiteral("0");
}
