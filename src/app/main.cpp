#include <QApplication>
#include <QFont>
#include <QTextStream>
#include <memory>

#include "app/forms/launcher_form.h"
#include "app/startup.h"
#include "community/forms/frm_down_ld.h"
#include "community/forms/frm_get_info.h"
#include "community/forms/frm_group_list.h"
#include "community/forms/frm_member_list.h"
#include "community/forms/frm_msg_1a.h"
#include "community/forms/frm_search.h"
#include "community/forms/frm_update.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/forms/program_application.h"
#include "frame/forms/program_icon.h"
#include "frame/forms/progress_window.h"
#include "frame/progress.h"
#include "frame/server_connection.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/frm_little.h"
#include "member/forms/frm_col_select.h"
#include "member/forms/frm_member.h"
#include "member/forms/frm_sys_setup.h"
#include "online/forms/frm_logon.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/forms/qt_interaction.h"
#include "platform/forms/qt_translations.h"
#include "print/forms/frm_print_ctrl.h"
#include "print/forms/pxt_brw.h"
#include "store/forms/frm_agent.h"
#include "store/forms/frm_set_pswd.h"
#include "store/forms/frm_test.h"

namespace {

// Without a display there is nobody to answer a window: the program only creates and opens the book
// (servers, first set-up) and says what it found.
int RunWithoutDisplay() {
    QTextStream out(stdout);
    QTextStream err(stderr);
    qint64 members = 0;
    // A damaged or foreign members file fails at the count, not at the open: it is reported the same way.
    try {
        EnsureBookFiles();
        CheckBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
        members = App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")).toLongLong();
    } catch (const dao::DaoError& e) {
        err << QStringLiteral("打开族谱数据库出错 (%1): %2").arg(e.Number()).arg(e.Description()) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("族谱文件夹: %1").arg(GetAppPath()) << Qt::endl;
    out << QStringLiteral("成员数: %1").arg(members) << Qt::endl;
    return 0;
}

// The old windows asked for 宋体; the interface itself uses the sans face of the same family.
void InstallFonts(QApplication& app) {
    const QString serif = QStringLiteral("Noto Serif CJK SC");
    QFont::insertSubstitution(QStringLiteral("宋体"), serif);
    QFont::insertSubstitution(QStringLiteral("SimSun"), serif);
    QFont::insertSubstitution(QStringLiteral("新宋体"), serif);
    QFont font = app.font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), serif});
    app.setFont(font);
}

}  // namespace

int main(int argc, char** argv) {
    const bool headless = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                          qEnvironmentVariableIsEmpty("DISPLAY") &&
                          qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");
    ProgramApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QentaraZp"));
    QCoreApplication::setApplicationName(QStringLiteral("QentaraZp"));
    if (headless) return RunWithoutDisplay();

    InstallFonts(app);
    QApplication::setWindowIcon(ProgramIcon());
    SetInteraction(std::make_unique<QtInteraction>());
    UseQtTranslations(0);  // until the launcher reads the stored language
    SetProgressSink(std::make_unique<ProgressWindowSink>());
    // Forms are registered by hand: a static library drops self-registration nothing refers to.
    mQentaraQp::Register();
    FrmLittle::RegisterForm();
    FrmLogon::RegisterForm();
    FrmSetPswd::RegisterForm();
    FrmColSelect::RegisterForm();
    FrmSysSetup::RegisterForm();
    FrmAgent::RegisterForm();
    FrmTest::RegisterForm();
    Frm子女::RegisterForm();
    dsptree::RegisterForm();
    Pxt_Brw::RegisterForm();
    FrmPrintCtrl::RegisterForm();
    FrmDownLd::RegisterForm();
    FrmMsg_1A::RegisterForm();
    FrmUpdate::RegisterForm();
    FrmSearch::RegisterForm();
    FrmGetInfo::RegisterForm();
    FrmGroupList::RegisterForm();
    FrmMemberList::RegisterForm();

    int result = 0;
    if (MainProc::Main()) result = app.exec();
    // A log-on still standing ends with the program, on the server too.
    RevokeServerCredential();

    // The book files close before the libraries' own static data goes.
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    SetInteraction(nullptr);
    SetProgressSink(nullptr);
    return result;
}
