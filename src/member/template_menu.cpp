#include "member/template_menu.h"

#include <algorithm>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "frame/language.h"
#include "member/template_files.h"
#include "platform/interaction/interaction.h"

namespace {

const QString kFilter = QStringLiteral("模板(*.Zpt)|*.zpt|所有文件（*.*）|*.*");
const QString kBuiltInRefused = QStringLiteral("不能用内置模板名保存!");

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

}  // namespace

QString TemplateMenu::SaveAs(quint8 style, const QList<Cls提示::TemplateControl>& form,
                             const QString& current) {
    const QString answer = UI().InputBox(Trans(QStringLiteral("输入自定义模板名称：")), QString(), current);
    if (answer.compare(Cls提示::kBuiltInTemplate, Qt::CaseInsensitive) == 0) {
        UI().MsgBox(Trans(kBuiltInRefused), vb::Critical);
        return current;
    }
    if (answer.isEmpty()) return current;
    Cls提示().SaveAllFrm子女(style, form, answer);
    return answer;
}

bool TemplateMenu::Export(const QString& current) {
    // The form always names a template (the built-in one when none is chosen); without one there is
    // nothing to write and nothing to report.
    if (current.isEmpty()) return false;
    const QString path =
        ClsCmDialog()
            .CmDgSelectFile(kFilter, current + QStringLiteral(".Zpt"), ClsCmDialog::kSaveFile)
            .toString();
    if (path.isEmpty()) return false;
    try {
        Cls提示().TemplateExport(path, current);
    } catch (const ZptFileError& error) {
        UI().MsgBox(error.message(), vb::Critical);
        return false;
    }
    UI().MsgBox(Trans(QStringLiteral("成功导出!")), vb::Information);
    return true;
}

bool TemplateMenu::Import() {
    const QString path = ClsCmDialog().CmDgSelectFile(kFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (path.isEmpty()) return false;
    const QString name = TemplateNameOf(path);
    // The built-in template is the design layout: rows under its name would change what it means.
    if (name.compare(Cls提示::kBuiltInTemplate, Qt::CaseInsensitive) == 0) {
        UI().MsgBox(Trans(kBuiltInRefused), vb::Critical);
        return false;
    }
    if (name.isEmpty()) {
        UI().MsgBox(Trans(QStringLiteral("无法从文件名得到模板名称：")) + path, vb::Critical);
        return false;
    }
    try {
        Cls提示().TemplateImport(path, name);
    } catch (const ZptFileError& error) {
        UI().MsgBox(error.message(), vb::Critical);
        return false;
    }
    UI().MsgBox(Trans(QStringLiteral("成功导入!")), vb::Information);
    return true;
}

QString TemplateMenu::TemplateNameOf(const QString& path) {
    // Older paths may carry "\" separators.
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = path.mid(slash + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    return name;
}
