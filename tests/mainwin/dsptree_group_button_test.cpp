#include <gtest/gtest.h>

#include <QToolBar>

#include "dsptree_fixture.h"

namespace {

using DsptreeGroupButtonTest = DsptreeFixture;

// The association button needs a log-on, then opens the user's association or the list of them.
TEST_F(DsptreeGroupButtonTest, OpensTheMembersOrTheAssociationsOnceLoggedOn) {
    Add(QStringLiteral("甲"), QString());
    dsptree& w = Open();
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_group"))->isEnabled());
    Cls_User& user = *App().CurrentUser;

    ui_->ExpectForm(QStringLiteral("FrmLogon"), [](QObject*) { return 0; });  // still logged off: no more
    w.TbarOP_ButtonClick(QStringLiteral("b_group"));
    ui_->ExpectForm(QStringLiteral("FrmLogon"), [&user](QObject*) {
        user.Logoned = true;
        user.curGroup_Id = 7;
        return 1;
    });
    ui_->ExpectForm(QStringLiteral("FrmMemberList"), {});
    w.TbarOP_ButtonClick(QStringLiteral("b_group"));
    user.curGroup_Id = 0;
    ui_->ExpectForm(QStringLiteral("FrmGroupList"), {});
    w.TbarOP_ButtonClick(QStringLiteral("b_group"));

    QStringList shows;
    for (const auto& call : ui_->log()) shows << call.text + u'|' + QString::number(call.style);
    EXPECT_EQ(shows, QStringList({"FrmLogon|1", "FrmLogon|1", "FrmMemberList|0", "FrmGroupList|0"}));
    EXPECT_TRUE(w.TbarOP()->isEnabled());
}

}  // namespace
