#pragma once

#include <QString>

#include "frame/app_state.h"
#include "frame/language.h"

// A message of the library windows in the interface language (unchanged before the launcher has made
// the translator).
inline QString Translated(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}
