#include "member/hint_lists.h"

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/vbcompat.h"

namespace {

// Which list a tempinfo row belongs to.
enum PageFlag : int {
    kEthnicGroups = 1,
    kEducationLevels = 2,
    kFamousCategories = 3,
    kEbookCategories = 4,
    kUpdateItems = 8,
};

QString Shown(const QString& text) {
    // The language object is stateless: without the shared one the conversion is the same.
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : ClsLanguage().TransLanguage(text);
}

// rowid of the first row of a list holding name; the old engine compared text without case.
QVariant FirstEntry(int pageflag, const QString& name) {
    return App().DataDb.Scalar(
        QStringLiteral(
            "SELECT rowid FROM \"tempinfo\" WHERE \"pageflag\" = ? AND \"msgName\" = ? COLLATE NOCASE "
            "ORDER BY rowid LIMIT 1"),
        {pageflag, name});
}

}  // namespace

void Cls提示::BindList(QStringList& list, int pageflag, const QString& prefix) {
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = ? ORDER BY rowid"),
        {pageflag});
    for (; !rs.EOF_(); rs.MoveNext()) {
        // A Null entry is no entry: it would only show as a blank line.
        if (rs.IsNull("msgName")) continue;
        list.append(prefix + Shown(Trim(rs.Text("msgName"))));
    }
}

void Cls提示::AddEntry(int pageflag, const QString& name) {
    const QVariant row = FirstEntry(pageflag, name);
    if (row.isNull()) {
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"tempinfo\" (\"msgName\", \"pageflag\") VALUES (?, ?)"),
            {name, pageflag});
    } else {
        // Re-written rather than duplicated, so the spelling last given wins.
        App().DataDb.Execute(
            QStringLiteral("UPDATE \"tempinfo\" SET \"msgName\" = ?, \"pageflag\" = ? WHERE rowid = ?"),
            {name, pageflag, row});
    }
}

void Cls提示::DeleteEntry(int pageflag, const QString& name) {
    const QVariant row = FirstEntry(pageflag, name);
    if (row.isNull()) return;
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"tempinfo\" WHERE rowid = ?"), {row});
}

void Cls提示::Bind100xi(QStringList& list) const {
    BindList(list, kUpdateItems);
}

void Cls提示::BindP_Key(QStringList& list, const QString& member) const {
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"page_key\" FROM \"pageindx\" WHERE \"filial\" = ? ORDER BY rowid"),
        {member});
    for (; !rs.EOF_(); rs.MoveNext()) {
        if (rs.IsNull("page_key")) continue;
        list.append(rs.Text("page_key"));
    }
}

void Cls提示::SaveP_Key(const QString& member, const QString& keyword) const {
    dao::Database& db = App().DataDb;
    const QVariant row = db.Scalar(
        QStringLiteral(
            "SELECT rowid FROM \"pageindx\" WHERE \"filial\" = ? AND \"page_key\" = ? COLLATE NOCASE "
            "ORDER BY rowid LIMIT 1"),
        {member, keyword});
    if (row.isNull()) {
        // flag keeps the table's default (released) until the member's branch is marked.
        db.Execute(QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES (?, ?)"),
                   {member, keyword});
    } else {
        db.Execute(QStringLiteral("UPDATE \"pageindx\" SET \"filial\" = ?, \"page_key\" = ? WHERE rowid = ?"),
                   {member, keyword, row});
    }
}

void Cls提示::Bind民族(QStringList& list) const {
    BindList(list, kEthnicGroups);
}
void Cls提示::Add民族(const QString& name) const {
    AddEntry(kEthnicGroups, name);
}
void Cls提示::Delete民族(const QString& name) const {
    DeleteEntry(kEthnicGroups, name);
}

void Cls提示::Bind学历(QStringList& list) const {
    BindList(list, kEducationLevels);
}
void Cls提示::Add学历(const QString& name) const {
    AddEntry(kEducationLevels, name);
}
void Cls提示::Delete学历(const QString& name) const {
    DeleteEntry(kEducationLevels, name);
}

void Cls提示::Bind名人谱(QStringList& list, const QString& prefix) const {
    BindList(list, kFamousCategories, prefix);
}
void Cls提示::Add名人谱(const QString& name) const {
    AddEntry(kFamousCategories, name);
}
void Cls提示::Delete名人谱(const QString& name) const {
    DeleteEntry(kFamousCategories, name);
}

void Cls提示::BindEbook_Odklj(QStringList& list) const {
    BindList(list, kEbookCategories);
}
