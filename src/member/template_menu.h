#pragma once

#include <QList>
#include <QString>

#include "member/hint_lists.h"

// The three template items of the member form's caption menu, apart from the form: it hands over its
// current template name (the Tag of Item_SaveAs) and, for a save, its captions and check boxes.
// Every question, message and file dialog goes through UI().
class TemplateMenu {
public:
    // Item_SaveAs "模板另存为": asks for a name, pre-filled with current, and saves the layout under it
    // in input style `style`. Answers the form's new current template name: the name saved under, or
    // current when nothing was saved (cancel, "", or the built-in name, which is refused).
    static QString SaveAs(quint8 style, const QList<Cls提示::TemplateControl>& form, const QString& current);
    // temp_export "导出模板": writes template current to a file the user picks. True when a file was
    // written; a failed write is reported and answers false.
    static bool Export(const QString& current);
    // temp_import "导入模板": reads a file the user picks into the template named after the file (the
    // text before its first "."). True when imported; the form's layout and current template stay.
    static bool Import();

private:
    // The template name a file stands for: its name without folder, cut at the first ".".
    static QString TemplateNameOf(const QString& path);
};
