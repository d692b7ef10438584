#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <functional>

class QObject;

// The program talks to its community server only by HTTP GET; replies are plain text that each caller
// parses itself.

// Blocking GET: the reply body (also of an error page), or "" for an empty url, on any failure and when
// the request takes longer than the time-out.
QString HttpGetText(const QString& url);
// HttpGetText of a page of the community server that acts for the logged-on account: the request carries
// the credential the server issued at log-on (none while nobody is logged on), so that the page acts
// for that account and no other. headers go with it as well. A page that answers the credential as
// lapsed (401) ends the log-on (CredentialLapsed) and gives its "not done" body.
QString HttpGetTextAsUser(const QString& url, QList<QPair<QByteArray, QByteArray>> headers = {});
// Blocking GET: 1 when the reply's HTTP status is 200, else 0.
quint8 HttpUrlOk(const QString& url);
// GET that lets other events run while it waits. Clears App().AsyncReplyText/AsyncReplyDone when it
// starts, fills them when the reply arrives; a reply that never comes ends as "" after the time-out, so
// that no caller waits for ever. An empty url returns at once and leaves the slot as it was.
void HttpGetAsync(const QString& url);

// Time-out of every request above, in milliseconds (30 s unless set).
int HttpTimeoutMs();
void SetHttpTimeoutMs(int ms);

// The community server's door, which the server connection, the public web site and the server base
// (when its setting is empty) all stand on: what SetBuiltInServerUrl set last, else $QENTARA_SERVER_URL
// when set at start, else the setting "server_url", else "https://127.0.0.1:18443" (`./dev server`).
QString BuiltInServerUrl();
void SetBuiltInServerUrl(const QString& url);

// Field 0 of the setting "web_hlp_prg_sys" (fields split at "%"), else the built-in address.
QString GetServerBaseUrl();
// The public web site's address, as text.
QVariant GetSiteUrl();

// Mode 0: "1" or "0" (whether the server offers a newer version than this program's) + "%" + the version
// text read from the server; any other mode gives "".
QString CheckNewVersion(quint8 mode);
// The same check without waiting: `done` runs with CheckNewVersion(0)'s answer when the reply is in, or
// with "0%" when none came within timeoutMs. Nothing runs once `context` is gone.
void CheckNewVersionAsync(QObject* context, int timeoutMs, std::function<void(const QString&)> done);
// The version named in such an answer, without what surrounds it: "99.1.2" of "1%99.1.2 / ".
QString OfferedVersionText(const QString& reply);

// The version this program reports as its own.
constexpr int kRunningMajor = 6;
constexpr int kRunningMinor = 2;
constexpr int kRunningRevision = 168;

// The dealer's customer-service QQ number used when the book's contact record holds none.
inline constexpr char kBuiltInServiceQQ[] = "800018080";
