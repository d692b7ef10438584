// The rows of a sound package, made from the input: one member per line, its fields separated by tabs
// (name, father, mother, sort, then a keyword, a page and a picture). The package is written by the
// engine, so the fuzzing reaches the import's handling of names, links and side rows.
#include <QByteArray>
#include <QList>

#include "fuzz_support.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "store/package_format.h"

namespace {

QVariant Field(const QList<QByteArray>& fields, int i) {
    if (i >= fields.size()) return QVariant();
    // "\x01" stands for a null, so that the nameless cases are reached.
    if (fields[i] == "\x01") return QVariant();
    return QString::fromUtf8(fields[i]);
}

// Names and fathers are stored concealed, as the export writes them.
QVariant Concealed(const QVariant& text, const QString& key) {
    return text.isNull() ? text : QVariant(EncodeText(text.toString(), key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::StartBook();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = fuzz_support::BookFolder() + QStringLiteral("rows.mdb");
    const package_format::Keys keys = package_format::MakeKeys(QString());
    dao::RemoveWorkFiles(path);
    {
        dao::Database package = dao::Database::Create(path, QString());
        for (const QString& sql : package_format::CreateStatements()) package.Execute(sql);
        dao::Transaction tx = package.BeginTrans();
        int line = 0;
        for (const QByteArray& row : input.split('\n')) {
            if (row.isEmpty()) continue;
            if (++line > 64) break;
            const QList<QByteArray> f = row.split('\t');
            package.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\", \"boy_sort\") "
                                           "VALUES (?, ?, ?, ?)"),
                            {Concealed(Field(f, 0), keys.second), Concealed(Field(f, 1), keys.first), Field(f, 2),
                             f.value(3).toLongLong()});
            if (f.size() > 4)
                package.Execute(QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES (?, ?)"),
                                {Field(f, 0), Field(f, 4)});
            if (f.size() > 5)
                package.Execute(QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                                {Field(f, 0), Field(f, 5)});
            if (f.size() > 6)
                package.Execute(QStringLiteral("INSERT INTO \"imageylk\" (\"filial\", \"myimage\") VALUES (?, ?)"),
                                {Field(f, 0), f[6]});
        }
        tx.Commit();
    }
    dao::ReleaseIdleConnections(path);
    fuzz_support::ImportAndForget(path);
    return 0;
}
