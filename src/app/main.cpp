#include <QApplication>
#include <QTextStream>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_error.h"

int main(int argc, char** argv) {
    // Without a display the program still creates and opens the book (servers, first set-up).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QentaraZp"));
    QCoreApplication::setApplicationName(QStringLiteral("QentaraZp"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        EnsureBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
    } catch (const dao::DaoError& e) {
        err << QStringLiteral("打开族谱数据库出错 (%1): %2").arg(e.Number()).arg(e.Description()) << Qt::endl;
        return 1;
    }
    const qint64 members = App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")).toLongLong();
    out << QStringLiteral("族谱文件夹: %1").arg(GetAppPath()) << Qt::endl;
    out << QStringLiteral("成员数: %1").arg(members) << Qt::endl;
    return 0;
}
