#pragma once

#include <QString>
#include <memory>

#include "frame/app_state.h"
#include "frame/language.h"
#include "member/member_record.h"

// What the main window's files and its prompt dialog share of the program's state.
namespace mainwin {

// A message text in the interface language.
inline QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// The shared member record, made when nobody has made it yet.
inline Cls子女& SharedMember() {
    AppState& app = App();
    if (!app.SharedMember) app.SharedMember = std::make_shared<Cls子女>();
    return *app.SharedMember;
}

// Adds a member that has only a name, a father and male sex: nothing of the member the record held
// last goes with it (its name parts survive Mem_Clear).
inline void SaveBareMember(Cls子女& record, const QString& name, const QString& father) {
    record.Mem_Clear();
    record.boy_c.clear();
    record.boy_jc = 0;
    record.boy_wei.clear();
    record.boy_zhi.clear();
    record.boy_hao.clear();
    record.boy_yi.clear();
    record.bBoy_Sex = true;
    record.strFather = father;
    record.strBoy = name;
    record.Save子女(1);
}

}  // namespace mainwin
