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

}  // namespace mainwin
