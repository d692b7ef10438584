#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The rules of the e-book publishing dialog, without its window: the chosen library e-book's download
// address, the inspection of the file to publish, the upload checks and the publication request.
namespace ebook_publishing {

// A download address cut at its last "/": the folder (ending in "/") and the file name.
struct Address {
    QString folder;
    QString fileName;
};
Address SplitAddress(const QString& url);
// The download address of the library e-book with that id (newdown_eb); "" when there is none.
QString LibraryAddress(qint32 id);

// What the dialog shows of a genealogy database file. The file itself is only read: it is copied, and
// the copy is checked, compacted and measured.
struct PackageInfo {
    bool ok = false;
    QString message;       // why the file cannot be published, in the interface language
    qint64 bytes = 0;      // size of the compacted database
    QString strongRecord;  // the strong-password record as stored in the file ("" for none)
    qint64 members = 0;
};
PackageInfo InspectPackage(const QString& path);

QString SizeText(qint64 bytes);     // megabytes, two decimals, then "M"
QString NetSizeText(qint64 bytes);  // bytes, then " Byte"
// The part of a file name before its first ".".
QString BookNameOf(const QString& fileName);

// The caller's address as the server sees it (15 characters at most); "0.0.0.0" when the reply holds
// no number.
QString CallerAddress();
// The size the check page answers for the address's file name (0: not there).
qint64 CheckWithPage(const QString& command, const QString& netpath);
// The file's size from the headers of its download address: 0 when it is missing or cannot be reached
// (then *error says why), 1 for a file present whose size the server does not give.
qint64 ProbeNetFile(const QString& url, QString* error = nullptr);

struct Publication {
    QString softNo;  // the installation number, plain
    QString strongRecord;
    QString netpath;
    QString name;
    QString author;
    QString compiler;
    QString description;
    QString category;
    QString replacedId;  // Txteb_id
    QString size;        // Txtsize
    QString ip;
    QString netcard;
};
// The query of the publication page, every value as given (the page's client encodes them).
QList<QPair<QString, QString>> PublishQuery(const Publication& publication);
// Sends the publication; true when the server answers a non-zero number.
bool Publish(const Publication& publication);
bool PublishReplyOk(const QString& reply);

}  // namespace ebook_publishing
