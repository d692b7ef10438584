#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

class DoorSocket;
class ServerError;

// The program's connection to the community server: HTTPS requests to its door, one at a time, over a
// connection that stays open between the calls of one operation (DoorSocket). It holds the credential a
// log-on gave; every request carries it. Used from one thread (the one that made its first request). Open
// states keep the old numbers: 1 open, 0 closed.
class DoorConnection {
public:
    static constexpr int kStateClosed = 0;
    static constexpr int kStateOpen = 1;
    // Time-out of a request that only asks (opening, a procedure's declaration).
    static constexpr int kAskTimeoutMs = 15000;
    // Time-out of a log-off, which the program's exit may wait for.
    static constexpr int kCloseTimeoutMs = 3000;

    // baseUrl: "https://host:port", without a closing "/". Plain "http://" is taken for this machine only.
    explicit DoorConnection(QString baseUrl);
    ~DoorConnection();
    DoorConnection(const DoorConnection&) = delete;
    DoorConnection& operator=(const DoorConnection&) = delete;

    // Asks the door whether it is there and, with a credential, whether the credential still stands
    // (then it goes with every later request). A failure raises ServerError in the program's words and
    // leaves the connection closed.
    void open(const QString& credential = QString());
    // Closes the connection. With a credential, the log-on ends on the server first: the door forgets the
    // credential and refuses it from then on. Never raises; false when the server could not be told (the
    // credential then lapses there by itself).
    bool close();
    bool isOpen() const { return open_; }
    int state() const { return open_ ? kStateOpen : kStateClosed; }
    QString baseUrl() const { return baseUrl_; }

    QString credential() const { return credential_; }
    void setCredential(const QString& credential) { credential_ = credential; }
    // Runs, with the credential forgotten, when the door says it has lapsed; ServerError follows.
    void setLapsedHandler(std::function<void()> handler) { lapsed_ = std::move(handler); }

    // POSTs body to path and answers the JSON object of a successful reply (2xx). A reply lost on the
    // way, or the door's own "try again" (502, 503, 504), sends the same body again, twice at most: a call
    // carries the key that lets the server answer a repeat with what the first did. Every failure raises
    // ServerError in the program's words; a refusal of the server's (4xx) whose body names a code
    // carries that code as its SqlState, prefixed "door:" ("door:no_procedure").
    QJsonObject post(const QString& path, const QJsonObject& body, int timeoutMs);
    // post with the body already written as compact JSON.
    QJsonObject postBody(const QString& path, const QByteArray& body, int timeoutMs);
    // The failure post raises for a refusal of the door with this status and body (4xx, 5xx): a call of
    // a batch that the server refused in the batch's answer is said as the call alone would be.
    ServerError refusal(int status, const QByteArray& body);

private:
    QString baseUrl_;
    QString credential_;
    bool open_ = false;
    std::function<void()> lapsed_;
    std::unique_ptr<DoorSocket> socket_;
};
