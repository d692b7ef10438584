#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "frame/forms/program_application.h"
#include "frame/language.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"

// An error that escaped an event handler is told to the user, in the interface language.
TEST(ProgramApplicationTest, EscapedErrorIsShownInTheInterfaceLanguage) {
    ResetAppState();
    std::unique_ptr<Interaction> previous;
    ScriptedInteraction* script = InstallScriptedInteraction(&previous);
    script->ExpectMsgBox(1);
    ProgramApplication::ReportEscapedError(QStringLiteral("磁盘已满"));
    App().Translator = std::make_shared<ClsLanguage>();
    App().LanguageId = 1;
    script->ExpectMsgBox(1);
    ProgramApplication::ReportEscapedError(QString());
    ASSERT_EQ(script->log().size(), 2u);
    EXPECT_EQ(script->log()[0].text, QStringLiteral("操作没有完成。\n磁盘已满"));
    EXPECT_EQ(script->log()[0].style, 16);
    EXPECT_EQ(script->log()[1].text, QStringLiteral("操作沒有完成。"));
    SetInteraction(std::move(previous));
    ResetAppState();
}
