// The community server's page service: qentara_server --help says how to start it.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <iostream>

#include "pages/page_service.h"
#include "pages/schema_loader.h"

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
                                    QStringLiteral("Database account that owns the server's schema."),
                                    QStringLiteral("user"));
    const QCommandLineOption loadSchema(
        {QStringLiteral("load-schema")},
        QStringLiteral("Load (or bring up to date) the server's schema first."));
    const QCommandLineOption quiet({QStringLiteral("quiet")}, QStringLiteral("Do not log each request."));
    parser.addOptions({listen, port, root, dbHost, dbPort, dbName, dbUser, loadSchema, quiet});
    parser.process(app);

    PageServiceConfig config;
    config.host = parser.value(listen);
    config.port = parser.value(port).toInt();
    config.staticRoot = parser.value(root);
    config.logRequests = !parser.isSet(quiet);
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
    }

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
