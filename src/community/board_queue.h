#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class AsyncHttpGet;
class QTimer;

// The message board's conversation with the community server, without a window: a queue of requests
// ("code||page?query|~|") that a 600 ms pump sends one at a time under "/flsh/" of the server base, the
// handling of each reply by its code, the 3 s poll for the desk's answers, and the chat log file. The
// window shows what the signals say.
//
// The pump sends as soon as one complete item is queued; an item whose reply has not come within
// ReplyTimeoutMs() is dropped and the next one goes, except the user's own message: that one is marked
// in the log as not sent, the status bar says why, and it goes again as soon as the server answers any
// request (the poll asks every 3 s). A message the server turns down (the board number is another
// installation's, the address sent too many, no desk takes it) is marked with the reason and does not go
// again. Every request carries the installation's secret (InstallationHeaders). The stamp of the last answer
// received (the poll's "dt") is kept apart from the time of the user's last message, which is the local
// clock's.
class BoardQueue : public QObject {
    Q_OBJECT
public:
    explicit BoardQueue(QObject* parent = nullptr);
    ~BoardQueue() override;

    // The board opens: the numbers of the partner (the service desk addressed), of this installation,
    // and the service account the partner falls back on. The queue holds the address request alone, the
    // pump runs, the log of this pair of numbers starts empty.
    void Load(const QString& partnerNo, const QString& ownNo, const QString& serviceNo);
    // The window came to the front: asks the desk's status and the user's own particulars. A request
    // under way stays under way.
    void Activate();
    // Queues the message (HTML, already cut to what may be sent) and logs it under the local time;
    // false, and nothing queued, for an empty message.
    bool Send(const QString& html);
    // A new display name; nothing for "" or the current name.
    void Rename(const QString& name);
    // The poll's tick: asks for new answers while both numbers are known.
    void Poll();
    // The pump's tick.
    void Pump();

    QString Queue() const { return queue_; }
    // 1 idle, 2 waiting for the reply of the front item.
    int State() const { return state_; }
    QTimer* RecTimer() const { return recTimer_; }
    QTimer* PollTimer() const { return pollTimer_; }

    QString PartnerNo() const { return partnerNo_; }
    QString OwnNo() const { return ownNo_; }
    QString DeskNo() const { return deskNo_; }
    QString ShownName() const { return shownName_; }
    QString PartnerName() const { return partnerName_; }
    // The stamp of the last answer received ("" before the first).
    QString LastMsgTime() const { return lastMsgTime_; }
    // "yyyy-MM-dd HH:mm:ss" of the user's last message.
    QString LastSendTime() const { return lastSendTime_; }
    QString LogPath() const { return logPath_; }
    // What the log file holds.
    QString LogPage() const;
    // The user's messages that found no server, waiting to go again.
    int UnsentCount() const { return int(unsent_.size()); }

    // 20 s unless set (tests).
    static int ReplyTimeoutMs();
    static void SetReplyTimeoutMs(int ms);

signals:
    // Panel 1 (messages) or 2 (desk status, address) of the status bar.
    void statusText(int panel, const QString& text);
    void deskNoChanged(const QString& deskNo);
    void partnerInfo(const QString& name, const QString& info);
    // New answers are in the log (the window plays the sound).
    void answersReceived(int count);
    // The log file was rewritten.
    void logChanged();

private:
    struct Entry {
        QString html;
        int message = 0;  // the user's message number, 0 for an answer
        bool unsent = false;
        QString refusal{};  // why the server turned the message down; it does not go again
    };

    // The item queued.
    QString append(int code, const QString& page, const QList<QPair<QString, QString>>& query = {});
    void finishFront(bool replied, const QString& reply, int httpStatus);
    void handleReply(int code, const QString& reply);
    void renderAnswers(const QString& reply);
    void markMessage(int message, bool unsent);
    void markRefused(int message, const QString& why);
    void resendUnsent();
    void writeLog();

    QString partnerNo_, ownNo_, serviceNo_, deskNo_, shownName_, partnerName_;
    QString lastMsgTime_, lastSendTime_;
    QString logPath_;
    QList<Entry> entries_;
    QString queue_;
    QList<int> sending_;                // the messages of the queue's send items, in their order
    QList<int> unsent_;                 // messages that found no server, to go again
    QHash<int, QString> messageItems_;  // message -> its queue item, until the server has it
    int lastMessage_ = 0;
    int state_ = 1;
    QTimer* recTimer_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    AsyncHttpGet* request_ = nullptr;
};
