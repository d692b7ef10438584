#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class ClsAdvPswd;
class Cls_User;

// The rules of the log-on form that need no window: field cleaning, registration checks, the book-root
// list, the tick rule, the latency pictures and the call of the log-on procedure.
class LogonRules {
public:
    enum Mode { kLogon = 0, kRegister = 1, kDownload = 2, kLogoff = 3 };
    // The answers of the log-on procedure.
    enum State { kBusy = 0, kLoggedOn = 1, kWrongPassword = 2, kRegistered = 3 };

    // The longest account number and nickname the server keeps (in UTF-16 units, never fewer than the
    // server's characters: the number goes scrambled one unit for one).
    static constexpr int kMaxAccountChars = 50;
    static constexpr int kMaxNicknameChars = 50;

    // Account and password fields lose their leading and trailing blanks; the nickname also every
    // "@~", the end of a server record.
    static QString CleanField(const QString& text);
    static QString CleanNickname(const QString& text);

    // The fields a registration is checked on, as the user left them.
    struct Registration {
        QString account, password, passwordAgain, secondPassword, nickname;
    };
    enum class Field { Account, Password, PasswordAgain, SecondPassword, Nickname };
    struct Refusal {
        Field field;
        QString message;  // before the language switch
        int style;        // message-box style
    };
    // The first rule the fields break, in the order the form checks them; nothing when all hold.
    static std::optional<Refusal> CheckRegistration(const Registration& fields);

    // The book roots the account may download, from the reply of the book-root page: records ended by
    // "@~", fields separated by "%!"; field 0 is shown, field 1 is the root's server id. Empty records are
    // skipped; a record without a second field ends the list, which then stays incomplete, as does an
    // empty reply (the list is asked for again next time).
    struct BookRoot {
        QString text;
        QString id;
    };
    struct BookRoots {
        QList<BookRoot> roots;
        bool complete = false;
    };
    static BookRoots ParseBookRoots(const QString& reply);
    static QString BookRootsUrl(qint32 accountId);

    // Ticking item `ticked`: the other ticked items whose text differs from its text, to be unticked.
    static QList<int> ItemsToUntick(const QStringList& texts, const QList<bool>& ticked, int index);

    // The connection picture (1 best to 4 worst) for a round-trip time in milliseconds; 0 keeps the
    // picture shown, for a time that is not known.
    static int LatencyPicture(double ms);

    // The level list's entries, level 0 to 2, and the level of a list text (-1 for none).
    static QStringList LevelNames();
    static int LevelOf(const QString& text);

    // The tool tip of the main window's association button for the user's association.
    static QString GroupButtonTip(qint32 groupId);

    // What the log-on procedure answered.
    struct Answer {
        int state = kBusy;
        int level = 0;
        qint32 accountId = 0;
        QString nickname;
        qint32 groupId = 0;
        QString credential;  // issued for a successful log-on
    };
    // Logs on (or registers) through the server's log-on procedure: the account number goes scrambled
    // under the server text key, the passwords as their digests for that account number. The connection
    // is closed again before this returns; a connection or call failure raises ServerError.
    static Answer TryLogon(ClsAdvPswd& digests, const QString& account, const QString& password,
                           const QString& secondPassword, const QString& nickname, int level,
                           bool registering);
    // A successful answer makes its account the logged-on user, with its credential for the server.
    static void ApplyLogon(const Answer& answer, Cls_User& user);
};
