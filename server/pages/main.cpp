// The community server's page service: qentara_server --help says how to start it.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <iostream>

#include "pages/board_desk.h"
#include "pages/page_service.h"
#include "pages/printable_text.h"
#include "pages/schema_loader.h"

namespace {

int RunDesk(const PgParams& database, const QString& deskNo, const QString& userNo, const QString& html) {
    QString error;
    auto db = PgConnection::Open(database, &error);
    if (!db) {
        std::cerr << "qentara_server: " << error.toStdString() << std::endl;
        return 1;
    }
    if (!userNo.isEmpty()) {
        const QString stamp = DeskAnswer(*db, deskNo, userNo, html, &error);
        if (!error.isEmpty()) {
            std::cerr << "qentara_server: " << PrintableText(error).toStdString() << std::endl;
            return 1;
        }
        std::cout << "Answered " << PrintableText(userNo).toStdString() << " at " << stamp.toStdString()
                  << std::endl;
        return 0;
    }
    const QList<DeskMessage> waiting = DeskWaiting(*db, deskNo, &error);
    if (!error.isEmpty()) {
        std::cerr << "qentara_server: " << PrintableText(error).toStdString() << std::endl;
        return 1;
    }
    std::cout << DeskListing(waiting).toStdString() << std::flush;
    return 0;
}

// Lets the number go: the installation that made it claims it again the next time it reaches the door.
int RunRelease(const PgParams& database, const QString& number) {
    QString error;
    auto db = PgConnection::Open(database, &error);
    const int released = db ? DeskRelease(*db, number, &error) : 0;
    if (!error.isEmpty()) {
        std::cerr << "qentara_server: " << PrintableText(error).toStdString() << std::endl;
        return 1;
    }
    const std::string shown = PrintableText(number).toStdString();
    if (released == 0)
        std::cout << "Nothing was tied to " << shown << "." << std::endl;
    else
        std::cout << "Released " << shown << " (" << released << (released == 1 ? " number" : " numbers")
                  << "): its installation claims it again with its secret." << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qentara_server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pages and files of the community server, on its PostgreSQL database. The database password is "
        "taken from PGPASSWORD or the password file, as for every libpq program."));
    parser.addHelpOption();
    const QCommandLineOption listen({QStringLiteral("listen")}, QStringLiteral("Address to listen on."),
                                    QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port({QStringLiteral("port")}, QStringLiteral("Port of the pages."),
                                  QStringLiteral("port"), QStringLiteral("18080"));
    const QCommandLineOption root(
        {QStringLiteral("root")},
        QStringLiteral("Folder of the static files (update files, e-books, messages)."),
        QStringLiteral("folder"));
    const QCommandLineOption dbHost({QStringLiteral("db-host")},
                                    QStringLiteral("Database host or socket folder."), QStringLiteral("host"),
                                    QStringLiteral("127.0.0.1"));
    const QCommandLineOption dbPort({QStringLiteral("db-port")}, QStringLiteral("Database port."),
                                    QStringLiteral("port"), QStringLiteral("15432"));
    const QCommandLineOption dbName({QStringLiteral("db-name")}, QStringLiteral("Database name."),
                                    QStringLiteral("name"), QStringLiteral("qntzpsvr01"));
    const QCommandLineOption dbUser({QStringLiteral("db-user")},
                                    QStringLiteral("Database account: the page service's own (qntzp_pages), "
                                                   "or the cluster's administrator for --load-schema."),
                                    QStringLiteral("user"), QStringLiteral("qntzp_pages"));
    const QCommandLineOption loadSchema(
        {QStringLiteral("load-schema")},
        QStringLiteral("Load (or bring up to date) the server's schema and accounts, then end. Needs the "
                       "cluster's administrator as --db-user."));
    const QCommandLineOption door(
        {QStringLiteral("door-address")},
        QStringLiteral("An address the door (nginx) connects from; may be given more than once. Only "
                       "requests from these name their caller in X-Real-IP; without it, every caller is "
                       "the address it connects from."),
        QStringLiteral("address"));
    const QCommandLineOption quiet({QStringLiteral("quiet")}, QStringLiteral("Do not log each request."));
    const QCommandLineOption desk(
        {QStringLiteral("desk")},
        QStringLiteral("Answer as this desk member instead of serving pages: without --answer-to, print "
                       "what users wrote to it since the last look."),
        QStringLiteral("desk-no"));
    const QCommandLineOption answerTo({QStringLiteral("answer-to")},
                                      QStringLiteral("With --desk: the user's board number to answer."),
                                      QStringLiteral("user-no"));
    const QCommandLineOption text({QStringLiteral("text")},
                                  QStringLiteral("With --answer-to: the answer (HTML)."),
                                  QStringLiteral("html"));
    const QCommandLineOption release(
        {QStringLiteral("release")},
        QStringLiteral("Let a user's board number (and the installation number made from it) go, so that "
                       "the installation that made it can claim it again, then end."),
        QStringLiteral("board-no"));
    parser.addOptions(
        {listen, port, root, dbHost, dbPort, dbName, dbUser, loadSchema, door, quiet, desk, answerTo, text,
         release});
    parser.process(app);

    PageServiceConfig config;
    config.host = parser.value(listen);
    config.port = parser.value(port).toInt();
    config.staticRoot = parser.value(root);
    config.logRequests = !parser.isSet(quiet);
    config.doorAddresses = parser.values(door);
    config.database.host = parser.value(dbHost);
    config.database.port = parser.value(dbPort);
    config.database.dbname = parser.value(dbName);
    config.database.user = parser.value(dbUser);

    if (parser.isSet(loadSchema)) {
        QString error;
        auto owner = PgConnection::Open(config.database, &error);
        if (owner) error = LoadServerSchema(*owner);
        if (!error.isEmpty()) {
            std::cerr << "qentara_server: the schema could not be loaded: " << error.toStdString()
                      << std::endl;
            return 1;
        }
        return 0;
    }

    if (parser.isSet(release)) return RunRelease(config.database, parser.value(release));
    if (parser.isSet(desk))
        return RunDesk(config.database, parser.value(desk), parser.value(answerTo), parser.value(text));

    // Signals are taken by sigwait below, not by a handler that would run on any thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PageService service(config);
    QString error;
    if (!service.start(&error)) {
        std::cerr << "qentara_server: " << error.toStdString() << std::endl;
        return 1;
    }
    std::cout << "Community server pages on " << service.baseUrl().toStdString() << ", database "
              << config.database.dbname.toStdString() << " on " << config.database.host.toStdString() << ':'
              << config.database.port.toStdString() << ". Ctrl-C stops it." << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    service.stop();
    return 0;
}
