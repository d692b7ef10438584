#include "community/board_queue.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QPair>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "community/board_text.h"
#include "community/soft_no.h"
#include "frame/builtin_seeds.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/disk_full.h"
#include "platform/http/http_client.h"
#include "platform/vbcompat.h"

namespace {

const QString kItemEnd = QStringLiteral("|~|");
const QString kCodeEnd = QStringLiteral("||");
constexpr int kSendCode = 3;
constexpr int kClaimCode = 9;

const QString kUnsentMark =
    QStringLiteral("<BR><FONT color=#FF0000 size=2>（未发出：无法连接服务器，连接恢复后自动重发）</FONT>");

// What the server's refusals mean to the user: the statuses the board pages turn a request down with.
constexpr int kNotDone = 400, kOtherInstallation = 403, kTooMany = 429;

QString RefusedMark(const QString& why) {
    return QStringLiteral("<BR><FONT color=#FF0000 size=2>（未发出：") + why + QStringLiteral("）</FONT>");
}

int& ReplyTimeoutSlot() {
    static int ms = 20000;
    return ms;
}

// The leading number of a text, 0 for none or one too large to hold.
double Number(const QString& text) {
    try {
        return Val(text);
    } catch (const VbError&) {
        return 0;
    }
}

QString Now() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool IsNotAfter(const QString& stamp, const QString& last) {
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QDateTime a = QDateTime::fromString(stamp, format), b = QDateTime::fromString(last, format);
    return a.isValid() && b.isValid() && a <= b;
}

}  // namespace

BoardQueue::BoardQueue(QObject* parent) : QObject(parent) {
    recTimer_ = new QTimer(this);
    recTimer_->setObjectName(QStringLiteral("Timer_Rec"));
    recTimer_->setInterval(600);
    connect(recTimer_, &QTimer::timeout, this, &BoardQueue::Pump);
    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QStringLiteral("Timer1"));
    pollTimer_->setInterval(3000);
    connect(pollTimer_, &QTimer::timeout, this, &BoardQueue::Poll);
}

BoardQueue::~BoardQueue() = default;

int BoardQueue::ReplyTimeoutMs() {
    return ReplyTimeoutSlot();
}

void BoardQueue::SetReplyTimeoutMs(int ms) {
    ReplyTimeoutSlot() = ms > 0 ? ms : 20000;
}

void BoardQueue::Load(const QString& partnerNo, const QString& ownNo, const QString& serviceNo) {
    serviceNo_ = serviceNo;
    partnerNo_ = partnerNo.isEmpty() ? serviceNo : partnerNo;
    ownNo_ = ownNo;
    shownName_ = ownNo;
    deskNo_.clear();
    partnerName_.clear();
    lastMsgTime_.clear();
    lastSendTime_.clear();
    entries_.clear();
    sending_.clear();
    unsent_.clear();
    messageItems_.clear();
    logPath_ = BoardLogPath(partnerNo_, ownNo_);
    QFile::remove(logPath_);
    delete request_;
    request_ = nullptr;
    state_ = 1;
    queue_.clear();
    // The installation's numbers are its own before anything goes under them.
    append(kClaimCode, QStringLiteral("claim.asp"), InstallationClaimQuery(ownNo_));
    append(5, QStringLiteral("ipseek.asp"));
    pollTimer_->stop();
    recTimer_->start();
}

void BoardQueue::Activate() {
    append(1, QStringLiteral("getsvrinfo.asp"),
           {{QStringLiteral("gsno"), partnerNo_}, {QStringLiteral("bno"), deskNo_}});
    append(7, QStringLiteral("getab_info.asp"),
           {{QStringLiteral("gsno"), partnerNo_},
            {QStringLiteral("abno"), ownNo_},
            {QStringLiteral("ab"), QStringLiteral("1")}});
}

bool BoardQueue::Send(const QString& html) {
    if (html.trimmed().isEmpty()) return false;
    const QString item = append(kSendCode, QStringLiteral("addmsg_a.asp"),
                                {{QStringLiteral("gsno"), partnerNo_},
                                 {QStringLiteral("ano"), ownNo_},
                                 {QStringLiteral("bno"), deskNo_},
                                 {QStringLiteral("msg"), EncodeText(html, EmptySeedKey())}});
    sending_.append(++lastMessage_);
    messageItems_.insert(lastMessage_, item);
    lastSendTime_ = Now();
    entries_.append({BoardLogEntry(shownName_, lastSendTime_, SanitizeBoardHtml(html)), lastMessage_});
    writeLog();
    return true;
}

void BoardQueue::Rename(const QString& name) {
    if (name.isEmpty() || name == shownName_) return;
    shownName_ = name;
    append(6, QStringLiteral("editABname.asp"),
           {{QStringLiteral("gsno"), partnerNo_},
            {QStringLiteral("no"), ownNo_},
            {QStringLiteral("name"), name}});
}

void BoardQueue::Poll() {
    if (ownNo_.isEmpty() || partnerNo_.isEmpty()) return;
    // One poll waiting is enough: a second would carry the same stamp.
    if (queue_.startsWith(QStringLiteral("2||")) || queue_.contains(kItemEnd + QStringLiteral("2||"))) return;
    append(2, QStringLiteral("getmsg_a.asp"),
           {{QStringLiteral("gsno"), partnerNo_},
            {QStringLiteral("ano"), ownNo_},
            {QStringLiteral("dt"), lastMsgTime_}});
}

// Values are escaped into the item, so that no text typed or scrambled can end it or reshape the query.
QString BoardQueue::append(int code, const QString& page, const QList<QPair<QString, QString>>& query) {
    QString item = QString::number(code) + kCodeEnd + page;
    QChar separator = u'?';
    for (const auto& [key, value] : query) {
        item += separator + key + u'=' + PercentEncodeQueryValue(value);
        separator = u'&';
    }
    queue_ += item + kItemEnd;
    return item;
}

void BoardQueue::Pump() {
    if (state_ == 2) {
        if (request_ && request_->isDone())
            finishFront(request_->ok(), request_->text(), request_->httpStatus());
        return;
    }
    const qsizetype end = queue_.indexOf(kItemEnd);
    if (end < 0) return;
    const QString item = queue_.left(end);
    const QString page = item.section(kCodeEnd, 1);
    if (page.isEmpty()) {
        // An item without a page can never be answered.
        queue_.remove(0, end + kItemEnd.size());
        return;
    }
    state_ = 2;
    delete request_;
    request_ = new AsyncHttpGet(this);
    connect(request_, &AsyncHttpGet::finished, this, [this] { recTimer_->start(0); });
    request_->start(BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh/") + page, {}), ReplyTimeoutMs(),
                    InstallationHeaders());
}

void BoardQueue::finishFront(bool replied, const QString& reply, int httpStatus) {
    recTimer_->stop();
    const qsizetype end = queue_.indexOf(kItemEnd);
    int code = 0;
    if (end >= 0) {
        code = int(Number(queue_.left(end).section(kCodeEnd, 0, 0)));
        queue_.remove(0, end + kItemEnd.size());
    }
    delete request_;
    request_ = nullptr;
    // A request that got no answer in time is dropped unanswered; an error page is no answer either. The
    // user's message is not: it waits for the server to answer again.
    const bool refused =
        !replied && (httpStatus == kNotDone || httpStatus == kOtherInstallation || httpStatus == kTooMany);
    if (httpStatus == kOtherInstallation && code != kSendCode)
        emit statusText(1, QStringLiteral("本机的留言板编号已由另一安装使用，不能在此收发留言。"));
    else if (refused && code == 6)
        emit statusText(1, QStringLiteral("显示名未能修改：修改过于频繁，请稍后再试。"));
    if (code == kSendCode && !sending_.isEmpty()) {
        const int message = sending_.takeFirst();
        if (httpStatus == kOtherInstallation)
            markRefused(message, QStringLiteral("留言板编号已由另一安装使用"));
        else if (httpStatus == kTooMany)
            markRefused(message, QStringLiteral("留言过于频繁，请稍后再发"));
        else if (refused)
            markRefused(message, QStringLiteral("服务器拒收：客服不在此号码，或留言过长"));
        else
            markMessage(message, !replied);
    }
    if (replied && code > 0) handleReply(code, reply);
    if (replied) resendUnsent();
    if (!pollTimer_->isActive()) pollTimer_->start();
    state_ = 1;
    recTimer_->start(600);
}

void BoardQueue::handleReply(int code, const QString& reply) {
    switch (code) {
        case 1: {
            emit statusText(2, Number(reply) > 0 ? QStringLiteral("客服在线") : QStringLiteral("客服离线"));
            if (Number(reply.right(1)) == 0 && partnerNo_ != serviceNo_) {
                // The service account's own status is asked as well, once: it is the desk that answers now.
                partnerNo_ = serviceNo_;
                append(1, QStringLiteral("getsvrinfo.asp"),
                       {{QStringLiteral("gsno"), partnerNo_}, {QStringLiteral("bno"), deskNo_}});
                append(7, QStringLiteral("getab_info.asp"),
                       {{QStringLiteral("gsno"), partnerNo_},
                        {QStringLiteral("abno"), ownNo_},
                        {QStringLiteral("ab"), QStringLiteral("1")}});
            }
            break;
        }
        case 2:
            if (!reply.isEmpty()) renderAnswers(reply);
            break;
        case 3: {
            const QString desk = reply.trimmed();
            if (deskNo_.isEmpty() && !desk.isEmpty() && desk != QLatin1String("0")) {
                deskNo_ = desk;
                emit deskNoChanged(deskNo_);
                append(4, QStringLiteral("getab_info.asp"),
                       {{QStringLiteral("gsno"), partnerNo_},
                        {QStringLiteral("abno"), deskNo_},
                        {QStringLiteral("ab"), QStringLiteral("2")}});
            }
            break;
        }
        case 4: {
            const QStringList fields = reply.split(u'%');
            if (fields.size() >= 2) {
                partnerName_ = fields.at(0);
                emit partnerInfo(partnerName_, fields.at(1));
            }
            break;
        }
        case 5: {
            const QString address = reply.trimmed();
            const qsizetype dot = address.lastIndexOf(u'.');
            if (dot >= 0) emit statusText(2, address.left(dot + 1) + u'*');
            break;
        }
        case 6:
            if (reply.trimmed() == QLatin1String("1")) emit statusText(1, QStringLiteral("显示名修改成功。"));
            break;
        case 7: {
            const QStringList fields = reply.split(u'%');
            if (fields.size() >= 2 && !fields.at(0).isEmpty()) shownName_ = fields.at(0);
            break;
        }
        default:
            break;
    }
}

// Records end with "@!"; a record's stamp ends at its first "%", and everything after it is the body,
// "%" included.
void BoardQueue::renderAnswers(const QString& reply) {
    QStringList records = reply.split(QStringLiteral("@!"));
    if (records.size() > 1) records.removeLast();
    int shown = 0;
    for (const QString& record : records) {
        const qsizetype cut = record.indexOf(u'%');
        if (cut < 0) continue;  // no body: nothing to show
        const QString stamp = record.left(cut).trimmed();
        // A poll sent before the last answers were shown asks for them again.
        if (IsNotAfter(stamp, lastMsgTime_)) continue;
        lastMsgTime_ = stamp;
        QString entry = BoardLogEntry(partnerName_, stamp,
                                      SanitizeBoardHtml(DecodeText(record.mid(cut + 1), EmptySeedKey())));
        entries_.append({entry.replace(QStringLiteral("<BR><P>&nbsp;"), QStringLiteral("<BR>&nbsp;"))});
        ++shown;
    }
    if (shown == 0) return;
    append(8, QStringLiteral("delmsg_A.asp"),
           {{QStringLiteral("gsno"), partnerNo_},
            {QStringLiteral("ano"), ownNo_},
            {QStringLiteral("dt"), lastMsgTime_}});
    writeLog();
    emit answersReceived(shown);
}

void BoardQueue::markMessage(int message, bool unsent) {
    auto entry =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.message == message; });
    const bool wasUnsent = entry != entries_.end() && entry->unsent;
    if (entry != entries_.end()) entry->unsent = unsent;
    if (unsent) {
        unsent_.append(message);
        emit statusText(
            1, QStringLiteral("消息未能发出：无法连接服务器。请检查网络连接，连接恢复后将自动重发。"));
    } else {
        messageItems_.remove(message);
        if (wasUnsent && unsent_.isEmpty()) emit statusText(1, QStringLiteral("未发出的消息已补发。"));
    }
    if (unsent != wasUnsent) writeLog();
}

void BoardQueue::markRefused(int message, const QString& why) {
    messageItems_.remove(message);
    auto entry =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.message == message; });
    if (entry != entries_.end()) {
        entry->unsent = false;
        entry->refusal = why;
    }
    emit statusText(1, QStringLiteral("消息未能发出：") + why + u'。');
    writeLog();
}

// The server answers again: the messages it missed go, in their order, ahead of nothing else.
void BoardQueue::resendUnsent() {
    for (int message : std::as_const(unsent_)) {
        queue_ += messageItems_.value(message) + kItemEnd;
        sending_.append(message);
    }
    unsent_.clear();
}

QString BoardQueue::LogPage() const {
    QString entries;
    for (const Entry& entry : entries_)
        entries += entry.unsent              ? entry.html + kUnsentMark
                   : entry.refusal.isEmpty() ? entry.html
                                             : entry.html + RefusedMark(entry.refusal);
    return BoardLogPage(entries);
}

void BoardQueue::writeLog() {
    QSaveFile file(logPath_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(LogPage().toUtf8());
        CommitWhole(file);
    }
    emit logChanged();
}
