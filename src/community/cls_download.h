#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <memory>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class QTimer;

// Fetches one file over HTTP into a local path. The owner sets URL and SaveFile, calls Execute (which
// waits for the response headers), looks at the headers and the status, then calls StartDownLoad (which
// waits for the body) or CloseAll. Both waits let every event run, so a Cancel button that calls
// CloseAll works in the middle of them.
//
// A file is written only whole: through QSaveFile, on a clean end with a 2xx status and, when the
// server gave a Content-Length, exactly that many bytes. Anything else (an error status, a dropped or
// truncated transfer, 60 s without data, a cancel) leaves the target path as it was.
class clsDownLoad : public QObject {
    Q_OBJECT
public:
    explicit clsDownLoad(QObject* parent = nullptr);
    ~clsDownLoad() override;

    // The absolute address, used exactly as given (letter case included).
    void setURL(const QString& url) { url_ = url; }
    // The local file the body goes to.
    void setSaveFile(const QString& path) { saveFile_ = path; }

    // Sends the request and waits until the response headers are in (or the request failed: ErrMassage).
    // Any transfer still open is closed first.
    void Execute();
    // Reads the body of the request Execute opened into the target file: GetData after every piece,
    // then DownLoadOver when the file is saved, or ErrMassage, or Cancelled when CloseAll came first.
    // True when the file was saved. Without an open request it does nothing and answers false.
    bool StartDownLoad();
    // Ends the request; a running StartDownLoad stops without writing the file and raises Cancelled.
    void CloseAll();

    // The value of one of the headers Content-Length, Content-Type, Date, Last-Modified, Server (name
    // without regard to case); "0" when the response lacks it, for any other name and before any
    // response. The empty name gives the status line and every header, each followed by a NUL.
    QString GetHeader(const QString& name) const;
    // The HTTP status of the last response; 0 when none came.
    int StatusCode() const { return status_; }
    bool StatusOk() const { return status_ >= 200 && status_ < 300; }
    // The Content-Length of the last response; -1 when it gave none.
    qint64 ContentLength() const;
    // True between a successful Execute and the end of the transfer.
    bool IsOpen() const { return reply_ != nullptr; }

    // How long a transfer may go without any data before it fails (60 s; tests shorten it).
    static int StallTimeoutMs();
    static void SetStallTimeoutMs(int ms);

signals:
    // Bytes received so far by this StartDownLoad.
    void GetData(qint64 bytes);
    // A failure, already in the interface language.
    void ErrMassage(const QString& text);
    void DownLoadOver();
    void Cancelled();

private:
    enum class Outcome { Running, Saved, Failed, Cancelled };

    void onMetaData();
    void onReadyRead();
    void onFinished();
    void onStall();
    // Copies what has arrived into the file; false after a failure or a cancel.
    bool drain();
    // Ends the transfer with a failure: file discarded, request closed, ErrMassage.
    void fail(const QString& message);
    void releaseReply();
    void quitWait();

    QString url_;
    QString saveFile_;
    QNetworkAccessManager* manager_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QTimer* stall_ = nullptr;
    QEventLoop* wait_ = nullptr;
    std::unique_ptr<QSaveFile> file_;
    Outcome outcome_ = Outcome::Running;
    bool headersIn_ = false;
    bool stalled_ = false;
    int status_ = 0;
    QByteArray reason_;
    QList<QPair<QByteArray, QByteArray>> headers_;
    qint64 expected_ = -1;
    qint64 received_ = 0;
};
