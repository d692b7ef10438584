#include "mainwin/forms/node_command_support.h"

#include <QToolBar>
#include <QTreeWidgetItem>
#include <stdexcept>

#include "frame/app_state.h"
#include "mainwin/forms/main_window_shared.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/tree_node_sink.h"
#include "platform/vbcompat.h"

namespace node_commands {

std::optional<MemberFormAnswer> AskMemberForm(const QString& mode, const std::optional<QString>& pageCount) {
    AppState& app = App();
    app.FormParamString = mode;
    if (pageCount) app.FormParamString2 = *pageCount;
    if (UI().ShowForm(QStringLiteral("Frm子女"), true) < 0 || app.FormParamString.isEmpty())
        return std::nullopt;
    const QStringList fields = app.FormParamString.split(QLatin1Char('%'));
    MemberFormAnswer answer;
    answer.father = fields.value(0);
    for (const QString& name : fields.value(2).split(QLatin1Char(';')))
        if (!Trim(name).isEmpty()) answer.names << Trim(name);
    answer.male = fields.value(3) == QLatin1String("True");
    if (answer.names.isEmpty()) return std::nullopt;
    return answer;
}

std::optional<QString> AskLittle(int runType) {
    AppState& app = App();
    app.LittleRunType = quint8(runType);
    if (UI().ShowForm(QStringLiteral("FrmLittle"), true) < 0 || app.FormParamString.isEmpty())
        return std::nullopt;
    return app.FormParamString;
}

void RunReported(const std::function<void()>& command) {
    try {
        command();
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    } catch (const VbError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    } catch (const TreeKeyError& e) {
        // The book is as it was written; only the page on display lags behind.
        UI().MsgBox(mainwin::Trans(QStringLiteral("页面显示与数据不一致，请重新打开本页：")) + e.key(),
                    vb::Exclamation);
    } catch (const std::runtime_error& e) {
        UI().MsgBox(QString::fromUtf8(e.what()), vb::Critical);
    }
}

ToolbarsDisabled::ToolbarsDisabled(QToolBar* book, QToolBar* main, QToolBar* editor)
    : bars_{book, main, editor}, enabled_{} {
    for (int i = 0; i < 3; ++i) {
        enabled_[i] = bars_[i] && bars_[i]->isEnabled();
        if (bars_[i]) bars_[i]->setEnabled(false);
    }
}

ToolbarsDisabled::~ToolbarsDisabled() {
    for (int i = 0; i < 3; ++i)
        if (bars_[i]) bars_[i]->setEnabled(enabled_[i]);
}

bool HasChildren(const QTreeWidgetItem* node, const QString& member) {
    if (node && node->childCount() > 0) return true;
    return !App()
                .DataDb
                .Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"father\" = ? LIMIT 1"), {member})
                .isNull();
}

}  // namespace node_commands
