#pragma once

#include <QString>
#include <QStringList>

// The small pick lists of the program (table "tempinfo", one list per pageflag) and the page keywords of
// members (table "pageindx"), both in App().DataDb; the input templates of the member form live here too.
// No state of its own: every call works on the database directly, so callers make one whenever they need it.
//
// A "list" is the items of a combo box: members append to it and never clear it. The caller hands the
// result to its control (combo->addItems(list)), which keeps core code free of widgets.
// Database errors are not caught; they reach the caller as dao::DaoError.
class Cls提示 {
public:
    // ---- Pick lists and page keywords (hint_lists.cpp)

    // Items of the update form's list (pageflag 8).
    void Bind100xi(QStringList& list) const;

    // The member's page keywords as stored: neither trimmed nor converted.
    void BindP_Key(QStringList& list, const QString& member) const;
    // Adds the keyword for the member unless the pair is already there.
    void SaveP_Key(const QString& member, const QString& keyword) const;

    // Ethnic groups (pageflag 1).
    void Bind民族(QStringList& list) const;
    void Add民族(const QString& name) const;
    void Delete民族(const QString& name) const;

    // Education levels (pageflag 2).
    void Bind学历(QStringList& list) const;
    void Add学历(const QString& name) const;
    void Delete学历(const QString& name) const;

    // Categories of the famous-person list (pageflag 3); each item follows prefix (surname + "氏").
    void Bind名人谱(QStringList& list, const QString& prefix) const;
    void Add名人谱(const QString& name) const;
    void Delete名人谱(const QString& name) const;

    // E-book categories (pageflag 4).
    void BindEbook_Odklj(QStringList& list) const;

    // ---- Input templates of the member form (hint_templates.cpp)
    // Template rows of "rowcolctrl" have col_width 0; other rows are list-window layouts and are never
    // touched here. The form hands its captions and check boxes over as values and applies the result.

    // One label or check box of the member form: its object name, its text and whether it is shown
    // (its own flag, !QWidget::isHidden(), not whether its frame is on screen).
    struct TemplateControl {
        QString name;
        QString caption;
        bool visible = true;
    };
    // The name of the built-in template: the design layout, which has no rows.
    static const QString kBuiltInTemplate;
    // The captions and check boxes a template covers, in the form's order.
    static const QStringList& TemplateControlNames();

    // Saves the controls as template `name` for input style 1 or 2; the birth and death captions keep
    // one row per style, so a save in one style keeps those of the other.
    void SaveAllFrm子女(quint8 style, const QList<TemplateControl>& form, const QString& name) const;
    // Deletes the template's rows; a list layout of the same name stays.
    void DeleteInputTemp(const QString& name) const;
    // Sets the captions (a stored "" keeps the form's) and visibility of the controls the template
    // names; rows for controls not in `form` are skipped. Returns "%" + name for every control it hid,
    // except Lbl_boy and LblOp; "" for template "".
    QString DsptAllFrm子女(quint8 style, QList<TemplateControl>& form, const QString& name) const;
    // Sets only the birth and death captions of the style.
    void Dspt生于卒于(quint8 style, QList<TemplateControl>& form, const QString& name) const;
    // Every template name once, in name order.
    void Bind输入模板(QStringList& list) const;
    // Writes the template to a .Zpt file (an unknown name gives an empty file). Throws ZptFileError.
    void TemplateExport(const QString& path, const QString& name) const;
    // Replaces template `name` by the rows of a .Zpt file; a file that cannot be read or has a bad line
    // changes nothing and throws ZptFileError.
    void TemplateImport(const QString& path, const QString& name) const;

private:
    static void SaveTemplateItem(quint8 style, const QString& name, const QString& control, bool visible,
                                 const QString& caption);
    static void BindList(QStringList& list, int pageflag, const QString& prefix = QString());
    static void AddEntry(int pageflag, const QString& name);
    static void DeleteEntry(int pageflag, const QString& name);
};
