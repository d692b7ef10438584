#include "frame/language.h"

#include "frame/app_state.h"
#include "platform/chinese_convert.h"

QString ClsLanguage::Convert(const QString& text) const {
    switch (App().LanguageId) {
        case 0:
            return ToSimplified(text);
        case 1:
            return ToTraditional(text);
        default:
            return QString();
    }
}

bool ClsLanguage::Converting() const {
    const AppState& state = App();
    return state.LanguageId != state.PrevLanguageId && (state.LanguageId == 0 || state.LanguageId == 1);
}

QString ClsLanguage::TransLanguage(const QString& text) const {
    if (!Converting()) return text;
    const QString converted = Convert(text);
    return converted.isEmpty() ? text : converted;
}

QString InterfaceLanguageTag() {
    return App().LanguageId == 1 ? QStringLiteral("zh-TW") : QStringLiteral("zh-CN");
}
