#include "frame/dir_list.h"

#include <QDir>
#include <QFileInfo>
#include <utility>
#include <vector>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/interaction/do_events.h"

namespace {

constexpr int kMaxSubfolders = 200;
constexpr int kNameFields = 20;

QString RelativeTo(const QString& base, const QString& path) {
    return path.mid(base.endsWith(u'/') ? base.size() : base.size() + 1);
}

bool IsPageFileName(const QString& name) {
    const QString lower = name.toLower();
    return lower.contains(QStringLiteral(".htm")) || lower.contains(QStringLiteral(".txt"));
}

QString InsertStatement(int parts) {
    QStringList fields;
    QStringList marks;
    for (int i = 1; i <= parts; ++i) {
        fields << QStringLiteral("\"boy%1\"").arg(i);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO \"temp_px\" (%1) VALUES (%2)")
        .arg(fields.join(u','), marks.join(u','));
}

}  // namespace

ClsDirList::ClsDirList() {
    OpenDataDb(DataDbPath(), BookDbPassword());
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"temp_px\""));
}

QStringList ClsDirList::ListFolder(const QString& folder, const QString& base,
                                   QList<QStringList>& rows) const {
    // By name, as the old file system listed them, so that the order of the rows is the same every time.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    QStringList subfolders;
    bool first = true;
    for (const QFileInfo& entry : entries) {
        if (!first) DoEvents();
        first = false;
        const QString path = QDir(folder).filePath(entry.fileName());
        if (entry.isDir()) {
            // A link could lead back up the tree (a walk without end) or out of it.
            if (entry.isSymLink() || entry.isHidden()) continue;
            if (subfolders.size() < kMaxSubfolders) subfolders << path;
            continue;
        }
        if (!IsPageFileName(entry.fileName())) continue;
        QStringList parts = RelativeTo(base, path).split(u'/');
        if (parts.size() > kNameFields) parts = parts.mid(0, kNameFields);
        rows << parts;
    }
    return subfolders;
}

bool ClsDirList::sDirTraversal(const QString& folder) {
    if (folder.isEmpty()) return true;  // never the working folder by accident
    const QString start = QDir::cleanPath(folder);
    const QString root = RootFolder.isEmpty() ? QString() : QDir::cleanPath(RootFolder);
    const bool underRoot =
        !root.isEmpty() && (start == root || start.startsWith(root.endsWith(u'/') ? root : root + u'/'));
    const QString base = underRoot ? root : start;

    QList<QStringList> rows;
    // Depth first without recursion: each level keeps its subfolders and the next one to enter.
    std::vector<std::pair<QStringList, qsizetype>> pending;
    pending.emplace_back(ListFolder(start, base, rows), 0);
    while (!pending.empty()) {
        if (pending.back().second >= pending.back().first.size()) {
            pending.pop_back();
            continue;
        }
        const QString next = pending.back().first.at(pending.back().second++);
        pending.emplace_back(ListFolder(next, base, rows), 0);
    }

    try {
        dao::Database& db = App().DataDb;
        auto transaction = db.BeginTrans();
        for (const QStringList& parts : rows) {
            dao::Params params;
            for (const QString& part : parts) params << part;
            db.Execute(InsertStatement(int(parts.size())), params);
        }
        transaction.Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
