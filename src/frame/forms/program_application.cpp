#include "frame/forms/program_application.h"

#include <exception>

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

bool ProgramApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const dao::DaoError& e) {
        ReportEscapedError(e.Description());
    } catch (const VbError& e) {
        ReportEscapedError(e.Description());
    } catch (const std::exception& e) {
        ReportEscapedError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportEscapedError(QString());
    }
    return false;
}

void ProgramApplication::ReportEscapedError(const QString& what) {
    // The message box runs events of its own; an error while it is up must not stack another one.
    static bool reporting = false;
    if (reporting) return;
    reporting = true;
    QString text = QStringLiteral("操作没有完成。");
    if (!what.isEmpty()) text += QLatin1Char('\n') + what;
    if (App().Translator) text = App().Translator->TransLanguage(text);
    try {
        UI().MsgBox(text, 16);
    } catch (...) {
    }
    reporting = false;
}
