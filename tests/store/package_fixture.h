#pragma once

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <memory>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/md5_digest.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

// A book with a marked branch to export and import: 王祖 (outside the branch) above the root 王甲,
// whose line holds 王乙, 王丙, 王丁 and 王'戊, each with every particular filled, and keywords, pages
// and pictures of 0, 1,000 and 5,000 bytes.
class PackageTest : public DataOpsFixture {
protected:
    static constexpr qint32 kBranch = 7;

    static dao::Database Images() { return dao::Database::Open(ImageDbPath(), BookDbPassword()); }
    static dao::Database Pages() { return dao::Database::Open(DescriptDbPath(), BookDbPassword()); }

    static QString Digest(const QString& password) { return ClsMD5_1().DigestStrToHexStr(password); }

    static QByteArray Picture(int size, int seed) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i) bytes[i] = char((i * 37 + seed * 11 + i / 251) & 0xff);
        return bytes;
    }

    void Add(const QString& name, const QVariant& father, int n) {
        const QString s = QString::number(n);
        db().Execute(
            "INSERT INTO \"本姓成员\" (filial, father, mother, mother_birthday, mother_death, m_education, "
            "m_position, mother_folk, Mother_active, boy_birthday, boy_death, boy_education, boy_position, "
            "boy_folk, boy_active, Boy_Sex, c_jc_w_z_h, boy_sort, filial_protect, mysql_id, myacc_id) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {name,
             father,
             "李氏" + s,
             "1880-1-" + s,
             "1950-2-" + s,
             "私塾",
             "母" + s,
             "汉族",
             n % 2 == 0,
             "1900-3-" + s,
             n % 3 == 0 ? QString("") : "1970-4-" + s,
             "秀才",
             "知县" + s,
             "满族",
             n % 2 == 1,
             n % 4 != 0,
             "称%" + s + "%讳%字%号%谥",
             n,
             0,
             1000 + n,
             2000 + n});
    }
    void AddKeyword(const QString& name, const QString& key) {
        db().Execute("INSERT INTO pageindx (filial, page_key) VALUES (?, ?)", {name, key});
    }
    void AddPage(const QString& name, const QString& html) {
        Pages().Execute("INSERT INTO story (filial, Hisdescript) VALUES (?, ?)", {name, html});
    }
    void AddPicture(const QString& name, const QByteArray& bytes, const QString& path) {
        Images().Execute("INSERT INTO imageylk (filial, myimage, imagepath) VALUES (?, ?, ?)",
                         {name, bytes, path});
    }

    void MakeBook() {
        Add("王祖", "", 1);
        Add("王甲", "王祖", 2);
        Add("王乙", "王甲", 3);
        Add("王丙", "王甲", 4);
        Add("王丁", "王乙", 5);
        Add("王'戊", "王丙", 6);
        Add("李外", "", 7);
        AddKeyword("王甲", "始迁祖");
        AddKeyword("王丁", "进士");
        AddKeyword("王'戊", "引号");
        AddKeyword("王祖", "不在支内");
        AddPage("王甲", "<p>王甲传：\"迁居\" 'x' % [1]</p>");
        AddPage("王丁", "<p>丁</p>");
        AddPage("王祖", "<p>祖</p>");
        AddPicture("王乙", Picture(0, 1), "file://_app.path_\\a.gif");
        AddPicture("王乙", Picture(1000, 2), "file://_app.path_\\b.jpg");
        AddPicture("王丁", Picture(5000, 3), "file://_app.bg_\\c.png");
        AddPicture("王'戊", QByteArray("GIF89a"), "file://_app.path_\\d.gif");
        Mark("王甲");
    }

    // More than one run of the package copies: 王孙0, 王孙1 … under 王'戊 and 王丁 in turn, marked.
    static constexpr int kLongLine = 20100;
    void AddGrandchildren() {
        dao::Transaction tx = db().BeginTrans();
        for (int i = 0; i < kLongLine; ++i)
            db().Execute("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, ?)",
                         {QString("王孙%1").arg(i), i % 2 ? "王丁" : "王'戊"});
        tx.Commit();
        Mark("王甲");
    }

    void Mark(const QString& root, qint32 branch = kBranch) {
        qint32 first = 1;
        qint16 force = -1;
        quint8 protection = 99;
        ops_->标识世祖(root, branch, 0, first, force, protection);
    }

    qint32 Export(const QString& path, const QString& digest = QString(), const QString& password = "pw123",
                  const QString& root = "王甲") {
        App().StrgPswdDigest = digest;
        return ops_->族谱备份(path, root, kBranch, password);
    }
    qint32 Import(const QString& path, const QString& under = QString(), const QString& digest = QString(),
                  const QString& password = "pw123", QString* error = nullptr) {
        return ops_->ReLoad(path, password, under, digest, error);
    }

    QString Father(const QString& name) {
        const QVariant v = db().Scalar("SELECT father FROM \"本姓成员\" WHERE filial=?", {name});
        return v.isValid() ? v.toString() : "<none>";
    }
    qint64 Count(dao::Database& d, const QString& sql, const dao::Params& params = {}) {
        return d.Scalar(sql, params).toLongLong();
    }
    qint64 Members() { return Count(db(), "SELECT count(*) FROM \"本姓成员\""); }

    static QString Cell(const QVariant& v) {
        if (!v.isValid()) return "<null>";
        if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = v.toByteArray();
            return QString::number(bytes.size()) + ":" +
                   QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
        }
        return v.toString();
    }
    static QStringList Rows(dao::Database& d, const QString& sql) {
        QStringList rows;
        for (dao::Recordset rs = d.OpenRecordset(sql); rs.hasRow(); rs.MoveNext()) {
            QStringList cells;
            for (int i = 0; i < rs.fieldCount(); ++i) cells << Cell(rs.value(i));
            rows << cells.join("|");
        }
        return rows;
    }
    // Everything an import may change, in a stable order; ids, numbering and branch flags left out.
    QStringList Snapshot() {
        dao::Database images = Images();
        dao::Database pages = Pages();
        return Rows(db(),
                    "SELECT filial, father, mother, mother_birthday, mother_death, m_education, m_position, "
                    "mother_folk, Mother_active, boy_birthday, boy_death, boy_education, boy_position, "
                    "boy_folk, boy_active, Boy_Sex, c_jc_w_z_h, boy_sort, mysql_id, myacc_id "
                    "FROM \"本姓成员\" ORDER BY filial") +
               Rows(db(), "SELECT filial, page_key FROM pageindx ORDER BY filial, page_key") +
               Rows(images, "SELECT filial, imagepath, myimage FROM imageylk ORDER BY filial, imagepath") +
               Rows(pages, "SELECT filial, Hisdescript FROM story ORDER BY filial");
    }

    static QByteArray FileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
