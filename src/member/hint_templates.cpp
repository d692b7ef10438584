#include "frame/app_state.h"
#include "member/hint_lists.h"
#include "member/template_files.h"

namespace {

const QString kBirthCaption = QStringLiteral("Lbl_b生于");
const QString kDeathCaption = QStringLiteral("Lbl_b卒于");

bool IsBirthOrDeath(const QString& control) {
    return control == kBirthCaption || control == kDeathCaption;
}

// Hiding these takes no fields with them, so the form has no row to close for them.
bool HidesNoFields(const QString& control) {
    return control == QStringLiteral("Lbl_boy") || control == QStringLiteral("LblOp");
}

// Control name and caption of a template row: the caption is everything after the first "%".
void SplitColName(const QString& colName, QString& control, QString& caption) {
    const qsizetype cut = colName.indexOf(QLatin1Char('%'));
    control = cut < 0 ? colName : colName.left(cut);
    caption = cut < 0 ? QString() : colName.mid(cut + 1);
}

Cls提示::TemplateControl* Find(QList<Cls提示::TemplateControl>& form, const QString& control) {
    for (Cls提示::TemplateControl& item : form)
        if (item.name == control) return &item;
    return nullptr;
}

// Applies the rows of one query to the form; hidden controls go into hidden as "%" + name.
void ApplyRows(dao::Recordset rs, QList<Cls提示::TemplateControl>& form, bool listEveryHidden,
               QString& hidden) {
    for (; !rs.EOF_(); rs.MoveNext()) {
        QString control, caption;
        SplitColName(rs.Text("col_name"), control, caption);
        Cls提示::TemplateControl* item = Find(form, control);
        if (!item) continue;
        if (!caption.isEmpty()) item->caption = caption;
        item->visible = rs.Long("col_visible") == 0;
        if (!item->visible && (listEveryHidden || !HidesNoFields(control)))
            hidden += QLatin1Char('%') + control;
    }
}

}  // namespace

const QString Cls提示::kBuiltInTemplate = QStringLiteral("Qentara族谱");

const QStringList& Cls提示::TemplateControlNames() {
    static const QStringList names{
        QStringLiteral("Lbl_father"),
        QStringLiteral("Lbl_mother"),
        QStringLiteral("Chk母在世"),
        QStringLiteral("Lbl_m民族"),
        QStringLiteral("Lbl_m文化"),
        QStringLiteral("Lbl_m位"),
        QStringLiteral("Lbl_m生于"),
        QStringLiteral("Lbl_m卒于"),
        QStringLiteral("Lbl_boy"),
        QStringLiteral("ChkSex"),
        QStringLiteral("Chk子在世"),
        QStringLiteral("Lbl_b称"),
        QStringLiteral("Lbl_b讳"),
        QStringLiteral("Lbl_b字"),
        QStringLiteral("Lbl_b谥"),
        QStringLiteral("Lbl_b号"),
        QStringLiteral("Lbl_b民族"),
        QStringLiteral("Lbl_b文化"),
        QStringLiteral("Lbl_b位"),
        kBirthCaption,
        kDeathCaption,
        QStringLiteral("LblOp"),
    };
    return names;
}

void Cls提示::SaveTemplateItem(quint8 style, const QString& name, const QString& control, bool visible,
                               const QString& caption) {
    dao::Database& db = App().DataDb;
    const bool perStyle = IsBirthOrDeath(control);
    const QVariant row =
        perStyle
            ? db.Scalar(QStringLiteral("SELECT rowid FROM \"rowcolctrl\" WHERE \"table_name\" = ? AND "
                                       "\"col_width\" = 0 AND instr(\"col_name\", ?) = 1 AND \"seqno\" = ? "
                                       "ORDER BY rowid LIMIT 1"),
                        {name, control, int(style)})
            : db.Scalar(QStringLiteral("SELECT rowid FROM \"rowcolctrl\" WHERE \"table_name\" = ? AND "
                                       "\"col_width\" = 0 AND instr(\"col_name\", ?) = 1 "
                                       "ORDER BY rowid LIMIT 1"),
                        {name, control});
    const dao::Params values{perStyle ? int(style) : 0, name, control + QLatin1Char('%') + caption,
                             visible ? 0 : 1};
    if (row.isNull()) {
        db.Execute(QStringLiteral("INSERT INTO \"rowcolctrl\" (\"seqno\", \"table_name\", \"col_name\", "
                                  "\"col_visible\", \"col_width\") VALUES (?, ?, ?, ?, 0)"),
                   values);
    } else {
        dao::Params update = values;
        update << row;
        db.Execute(
            QStringLiteral("UPDATE \"rowcolctrl\" SET \"seqno\" = ?, \"table_name\" = ?, \"col_name\" = ?, "
                           "\"col_visible\" = ?, \"col_width\" = 0 WHERE rowid = ?"),
            update);
    }
}

void Cls提示::SaveAllFrm子女(quint8 style, const QList<TemplateControl>& form, const QString& name) const {
    dao::Database& db = App().DataDb;
    dao::Transaction trans = db.BeginTrans();
    // The birth and death captions of the other style stay: each style keeps its own.
    db.Execute(QStringLiteral("DELETE FROM \"rowcolctrl\" WHERE \"table_name\" = ? AND \"col_width\" = 0 AND "
                              "(\"seqno\" = 0 OR \"seqno\" = ?)"),
               {name, int(style)});
    for (const TemplateControl& control : form) {
        if (control.name.isEmpty()) continue;
        SaveTemplateItem(style, name, control.name, control.visible, control.caption);
    }
    trans.Commit();
}

void Cls提示::DeleteInputTemp(const QString& name) const {
    App().DataDb.Execute(
        QStringLiteral("DELETE FROM \"rowcolctrl\" WHERE \"table_name\" = ? AND \"col_width\" = 0"), {name});
}

QString Cls提示::DsptAllFrm子女(quint8 style, QList<TemplateControl>& form, const QString& name) const {
    QString hidden;
    if (name.isEmpty()) return hidden;
    dao::Database& db = App().DataDb;
    const QString query = QStringLiteral(
        "SELECT \"col_name\", \"col_visible\" FROM \"rowcolctrl\" WHERE \"col_width\" = 0 AND "
        "\"table_name\" = ? AND \"seqno\" = ? ORDER BY rowid");
    ApplyRows(db.OpenRecordset(query, {name, 0}), form, false, hidden);
    ApplyRows(db.OpenRecordset(query, {name, int(style)}), form, true, hidden);
    return hidden;
}

void Cls提示::Dspt生于卒于(quint8 style, QList<TemplateControl>& form, const QString& name) const {
    if (name.isEmpty()) return;
    for (const QString& control : {kBirthCaption, kDeathCaption}) {
        const QVariant colName = App().DataDb.Scalar(
            QStringLiteral("SELECT \"col_name\" FROM \"rowcolctrl\" WHERE \"col_width\" = 0 AND "
                           "\"table_name\" = ? AND instr(\"col_name\", ?) = 1 AND \"seqno\" = ? "
                           "ORDER BY rowid LIMIT 1"),
            {name, control, int(style)});
        TemplateControl* item = Find(form, control);
        if (colName.isNull() || !item) continue;
        QString ignored, caption;
        SplitColName(colName.toString(), ignored, caption);
        // As on load: a caption stored empty keeps the form's.
        if (!caption.isEmpty()) item->caption = caption;
    }
}

void Cls提示::Bind输入模板(QStringList& list) const {
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT DISTINCT \"table_name\" FROM \"rowcolctrl\" WHERE \"col_width\" = 0 AND "
                       "\"table_name\" IS NOT NULL ORDER BY \"table_name\""));
    for (; !rs.EOF_(); rs.MoveNext()) list.append(rs.Text("table_name"));
}

void Cls提示::TemplateExport(const QString& path, const QString& name) const {
    if (name.isEmpty()) return;
    QList<ZptFile::Row> rows;
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"col_name\", \"col_visible\", \"seqno\" FROM \"rowcolctrl\" WHERE "
                       "\"col_width\" = 0 AND \"table_name\" = ? ORDER BY rowid"),
        {name});
    for (; !rs.EOF_(); rs.MoveNext())
        rows << ZptFile::Row{rs.Text("col_name"), name, int(rs.Long("col_visible")), int(rs.Long("seqno"))};
    rs.Close();
    ZptFile::Write(path, rows);
}

void Cls提示::TemplateImport(const QString& path, const QString& name) const {
    if (name.isEmpty()) return;
    // The whole file is read first: a bad file must not cost the template it would replace.
    const QList<ZptFile::Row> rows = ZptFile::Read(path);
    dao::Database& db = App().DataDb;
    dao::Transaction trans = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"rowcolctrl\" WHERE \"col_width\" = 0 AND \"table_name\" = ?"),
               {name});
    // The file's own template name is not used: the template is named after the file.
    for (const ZptFile::Row& row : rows) {
        db.Execute(
            QStringLiteral("INSERT INTO \"rowcolctrl\" (\"col_name\", \"table_name\", \"col_visible\", "
                           "\"seqno\", \"col_width\") VALUES (?, ?, ?, ?, 0)"),
            {row.colName, name, row.colVisible, row.seqno});
    }
    trans.Commit();
}
