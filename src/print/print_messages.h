#pragma once

#include <QString>

#include "frame/app_state.h"
#include "frame/language.h"

namespace print {

// Message texts pass through the language switch before they are shown.
inline QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

}  // namespace print
