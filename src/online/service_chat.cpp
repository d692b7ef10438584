#include "online/service_chat.h"

#include <QRegularExpression>
#include <QStringList>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/language.h"
#include "platform/dao/dao_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/interaction.h"
#include "platform/settings_store.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

// Whole-text number test of the old runtime (signs, decimals, exponents, &H/&O), blanks around allowed.
bool IsNumeric(const QString& text) {
    static const QRegularExpression number(QStringLiteral(
        "^[ \\t]*(?:[+-]?[ "
        "\\t]*(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?|&[hH][0-9A-Fa-f]+|&[oO]?[0-7]+)"
        "[ \\t]*$"));
    return number.match(text).hasMatch();
}

// Message texts pass through the language switch before they are shown.
QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// The user's own QQ number as the prompt last stored it: the latest entry of "MyQQ" ("%111%222"), the
// prompt's stand-in "0" for an empty list aside; "" when there is none.
QString StoredQQNumber() {
    const QStringList entries = GetSetting(QStringLiteral("MyQQ")).split(u'%');
    for (qsizetype i = entries.size() - 1; i >= 1; --i)
        if (const QString entry = entries.at(i).trimmed(); !entry.isEmpty() && entry != u'0') return entry;
    return QString();
}

}  // namespace

void OpenServiceChat() {
    AppState& app = App();
    app.FormParamString.clear();
    // The prompt proposes the number stored for the user, never what another prompt left behind.
    app.FormParamString2 = StoredQQNumber();
    app.LittleRunType = 8;
    const bool confirmed = UI().ShowForm(QStringLiteral("FrmLittle"), true) == 1;
    const QString given = app.FormParamString;
    // Confirmed without a number: no QQ to chat from, so the message board.
    if (given.isEmpty() && !confirmed) return;

    QString service;
    try {
        Cls数据操作 ops;
        service = Trim(ops.GetQQNo());
    } catch (const dao::DaoError&) {
        // Without a readable contact record the built-in service number still reaches the desk.
    } catch (const VbError&) {
    }
    if (service.isEmpty()) service = QString::fromLatin1(kBuiltInServiceQQ);

    if (IsNumeric(given)) {
        if (UI().MsgBox(Trans(QStringLiteral("QQ在线，是否优先启用它？")), vb::YesNo) == vb::Yes) {
            const QString link = QStringLiteral("tencent://message/?uin=") +
                                 PercentEncodeQueryValue(service) + QStringLiteral("&Site=&Menu=yes");
            if (UI().OpenUrl(link)) return;
            UI().MsgBox(Trans(QStringLiteral("本机没有能打开QQ链接的程序，请在留言板上与客服联系。")),
                        vb::Information);
        }
    } else {
        UI().MsgBox(Trans(QStringLiteral("QQ未上线，不能启动客服。")), vb::OKOnly);
    }
    UI().ShowForm(QStringLiteral("FrmMsg_1A"), true);
}
