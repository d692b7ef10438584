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

    // ---- Input templates of the member form

private:
    static void BindList(QStringList& list, int pageflag, const QString& prefix = QString());
    static void AddEntry(int pageflag, const QString& name);
    static void DeleteEntry(int pageflag, const QString& name);
};
