#include "online/member_exchange.h"

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "store/page_scripts.h"
#include "store/page_start_store.h"

namespace member_exchange {

namespace {

// A staged table and the book table whose definition it copies.
struct StagedTable {
    const char* name;
    const char* source;
    QString (*definition)();
};
const StagedTable kStagedTables[] = {{"本姓成员", "本姓成员", book_schema::MemberTable},
                                     {"tmp2", "本姓成员", book_schema::MemberTable},
                                     {"tempflag", "tempflag", book_schema::FlagQueueTable},
                                     {"imageylk", "imageylk", book_schema::PictureTable},
                                     {"tmp2img", "imageylk", book_schema::PictureTable},
                                     {"story", "story", book_schema::StoryTable},
                                     {"tmp2stry", "story", book_schema::StoryTable}};

QString StagedDefinition(const StagedTable& table) {
    QString statement = table.definition();
    const QString source = dao::QuoteIdent(QString::fromUtf8(table.source));
    return statement.replace(statement.indexOf(source), source.size(),
                             dao::QuoteIdent(QString::fromUtf8(table.name)));
}

}  // namespace

const QList<Field>& Particulars() {
    static const QList<Field> fields = [] {
        QList<Field> list;
        for (const char* column :
             {"mother", "Boy_Sex", "boy_birthday", "boy_active", "boy_death", "mother_birthday",
              "mother_death", "Mother_active", "mother_folk", "m_education", "m_position", "boy_folk",
              "boy_education", "boy_position", "c_jc_w_z_h", "boy_sort"})
            list.append({QString::fromLatin1(column), QStringLiteral("@z_") + QString::fromLatin1(column)});
        list.append({QStringLiteral("filial_protect"), QStringLiteral("@z_boy_right")});
        return list;
    }();
    return fields;
}

const QStringList& FetchedColumns() {
    static const QStringList columns = [] {
        QStringList list;
        for (const Field& field : Particulars()) list << field.column;
        return list << QStringLiteral("myacc_id");
    }();
    return columns;
}

QString StagingPath() {
    return GetAppPath() + QStringLiteral("downtmp.mdb");
}

dao::Database CreateStaging(const QString& path) {
    dao::Database staging = dao::Database::Create(path, QString());
    dao::Transaction tx = staging.BeginTrans();
    for (const StagedTable& table : kStagedTables) staging.Execute(StagedDefinition(table));
    tx.Commit();
    return staging;
}

ServerMember MemberOf(const std::function<QVariant(const QString&)>& out) {
    ServerMember member;
    member.id = out(QStringLiteral("@z_filial_id")).toInt();
    member.name = out(QStringLiteral("@z_filial")).toString();
    member.father = out(QStringLiteral("@z_father")).toString();
    for (const Field& field : Particulars()) member.values << out(field.parameter);
    member.values << out(QStringLiteral("@z_myacc_id"));
    return member;
}

ServerMember FetchMember(ServerCommand& cmd, qint32 id) {
    cmd.SetCommandText(QStringLiteral("sp_Getzpdata2"));
    cmd.SetValue(QStringLiteral("@z_filial_id"), id);
    cmd.Execute();
    return MemberOf([&](const QString& name) { return cmd.Value(name); });
}

std::optional<QString> PageOf(const ServerRows& rows) {
    if (rows.isEmpty()) return std::nullopt;
    const QString plain = DecodeTextEx(rows.value(0, QStringLiteral("Hisdescript")).toString(), ServerKey());
    // The server keeps a page as anyone sent it.
    return EncodeText(page_scripts::WithoutScripts(plain), StoreKey());
}

QList<Picture> PicturesOf(const ServerRows& rows) {
    QList<Picture> pictures;
    for (int row = 0; row < rows.size(); ++row) {
        QByteArray bytes = rows.value(row, QStringLiteral("myimage")).toByteArray();
        if (bytes.isEmpty()) continue;
        const QString path = rows.value(row, QStringLiteral("imagepath")).toString();
        pictures.append({rows.value(row, QStringLiteral("filial")).toString(), std::move(bytes),
                         DecodeText(EncodeTextEx(path, StoreKey()), StoreKey())});
    }
    return pictures;
}

QString Translated(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

QString ServerPageText(const QString& storedText) {
    return EncodeTextEx(DecodeText(storedText, StoreKey()), ServerKey());
}

QString ServerPicturePath(const QString& storedPath) {
    return DecodeTextEx(EncodeText(storedPath, StoreKey()), StoreKey());
}

void StoreMember(dao::Database& db, std::optional<qint64> rowId, const QString& father, const QString& name,
                 qint32 serverId, const QVariantList& values) {
    const QStringList& columns = FetchedColumns();
    dao::Params params = values;
    if (rowId) {
        QString assignments = QStringLiteral("\"filial\" = ?");
        for (const QString& column : columns)
            assignments += QStringLiteral(", ") + dao::QuoteIdent(column) + QStringLiteral(" = ?");
        params.prepend(name);
        params << *rowId;
        db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET ") + assignments +
                       QStringLiteral(" WHERE \"filial_id\" = ?"),
                   params);
        return;
    }
    QString names = QStringLiteral("\"father\", \"filial\", \"mysql_id\"");
    QString marks = QStringLiteral("?, ?, ?");
    for (const QString& column : columns) {
        names += QStringLiteral(", ") + dao::QuoteIdent(column);
        marks += QStringLiteral(", ?");
    }
    params = dao::Params{father, name, serverId} + values;
    db.Execute(
        QStringLiteral("INSERT INTO \"本姓成员\" (") + names + QStringLiteral(") VALUES (") + marks + ')',
        params);
}

void FollowRename(dao::Database& db, const AttachedSideFiles& side, const QString& oldName,
                  const QString& newName) {
    const dao::Params rename{newName, oldName};
    db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"father\" = ?"), rename);
    PageStartStore(db).Rename(oldName, newName);
    db.Execute(QStringLiteral("UPDATE \"pageindx\" SET \"filial\" = ? WHERE \"filial\" = ?"), rename);
    for (const QString& table : {side.Pictures(), side.Pages()})
        db.Execute(
            QStringLiteral("UPDATE ") + table + QStringLiteral(" SET \"filial\" = ? WHERE \"filial\" = ?"),
            rename);
}

}  // namespace member_exchange
