#include "frame/book_schema.h"

#include <QFile>
#include <QFileInfo>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/work_file_list.h"

namespace book_schema {

// Jet compared text without regard to case, and member names are keys: name columns are NOCASE.
QString MemberTable() {
    return QStringLiteral(
        "CREATE TABLE \"本姓成员\" ("
        "\"filial\" TEXT COLLATE NOCASE, \"father\" TEXT COLLATE NOCASE, \"mother\" TEXT COLLATE NOCASE, "
        "\"mother_birthday\" TEXT, \"mother_death\" TEXT, \"m_education\" TEXT, \"m_position\" TEXT, "
        "\"mother_folk\" TEXT, \"Mother_active\" INTEGER DEFAULT 1, "
        "\"boy_birthday\" TEXT, \"boy_death\" TEXT, \"boy_education\" TEXT, \"boy_position\" TEXT, "
        "\"boy_folk\" TEXT, \"boy_active\" INTEGER DEFAULT 1, \"Boy_Sex\" INTEGER DEFAULT 1, "
        "\"c_jc_w_z_h\" TEXT, \"generation\" INTEGER DEFAULT -9999, \"flag\" INTEGER DEFAULT -9, "
        "\"filial_id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"boy_sort\" INTEGER DEFAULT 0, "
        "\"filial_protect\" INTEGER DEFAULT 0, \"mysql_id\" INTEGER DEFAULT 0, \"myacc_id\" INTEGER DEFAULT 0)");
}

QString InLawTable() {
    return QStringLiteral("CREATE TABLE \"外戚成员\" (\"filial\" TEXT COLLATE NOCASE, \"father\" TEXT COLLATE NOCASE)");
}

QString PageStartTable() {
    return QStringLiteral(
        "CREATE TABLE \"temp世祖\" (\"father\" TEXT COLLATE NOCASE, \"currentpage\" INTEGER, "
        "\"generation\" INTEGER, \"No_Display\" INTEGER DEFAULT 0)");
}

QString BlankNameIndex() {
    return QStringLiteral("CREATE INDEX IF NOT EXISTS \"idx_member_blank\" ON \"本姓成员\" (\"father\") "
                          "WHERE \"filial\" IS NULL OR trim(\"filial\") = ''");
}

// No index on the names: a walk writes the order in bulk, and an index would cost it more than the
// walk itself. Renames and removals are noted beside the order instead ("pagestart_renamed": the rows
// below position "below" read "old" as "new", or not at all when "new" is Null), in the order noted.
QStringList PageOrderStatements() {
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS \"pagestart_order\" (\"pos\" INTEGER PRIMARY KEY, "
                           "\"name\" TEXT COLLATE NOCASE, \"generation\" INTEGER, \"queued\" INTEGER DEFAULT 0)"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS \"pagestart_page\" (\"page\" INTEGER PRIMARY KEY, "
                           "\"head\" INTEGER, \"tail\" INTEGER, \"fresh\" INTEGER)"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS \"pagestart_renamed\" (\"seq\" INTEGER PRIMARY KEY, "
                           "\"old\" TEXT COLLATE NOCASE, \"new\" TEXT, \"below\" INTEGER)"),
            BlankNameIndex()};
}

QString QueueTable() {
    return QStringLiteral(
        "CREATE TABLE \"temp\" (\"tempid\" INTEGER PRIMARY KEY AUTOINCREMENT, \"filial\" TEXT COLLATE NOCASE, "
        "\"generation\" INTEGER, \"filial_id\" INTEGER, \"f_key\" TEXT, \"filial_2\" TEXT)");
}

QString FlagQueueTable() {
    return QStringLiteral("CREATE TABLE \"tempflag\" (\"father\" TEXT COLLATE NOCASE, \"currentpage\" INTEGER)");
}

QString PageKeywordTable() {
    return QStringLiteral(
        "CREATE TABLE \"pageindx\" (\"filial\" TEXT COLLATE NOCASE, \"page_key\" TEXT, \"flag\" INTEGER DEFAULT -9)");
}

QString PickListTable() {
    return QStringLiteral("CREATE TABLE \"tempinfo\" (\"msg_id\" INTEGER, \"msgName\" TEXT, \"pageflag\" INTEGER)");
}

QString LayoutTable() {
    return QStringLiteral(
        "CREATE TABLE \"rowcolctrl\" (\"table_name\" TEXT COLLATE NOCASE, \"col_name\" TEXT COLLATE NOCASE, \"col_width\" INTEGER DEFAULT 0, "
        "\"col_visible\" INTEGER DEFAULT 0, \"seqno\" INTEGER DEFAULT 0)");
}

QString SettingsTable() { return QStringLiteral("CREATE TABLE \"pswdylk\" (\"whnt\" INTEGER, \"flg\" TEXT)"); }

QString ChartTable() {
    return QStringLiteral("CREATE TABLE \"skrslt\" (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"code\" TEXT)");
}

QString PrintWorkTable() {
    QString sql = QStringLiteral("CREATE TABLE \"temp_px\" (");
    for (int i = 1; i <= 20; ++i) sql += QStringLiteral("\"boy%1\" TEXT, ").arg(i);
    for (int i = 1; i <= 20; ++i) sql += QStringLiteral("\"r_boy%1\" TEXT, ").arg(i);
    return sql + QStringLiteral("\"tmp_id\" INTEGER PRIMARY KEY AUTOINCREMENT)");
}

QString PictureTable() {
    return QStringLiteral(
        "CREATE TABLE \"imageylk\" (\"filial\" TEXT COLLATE NOCASE, \"myimage\" BLOB, \"imagepath\" TEXT, "
        "\"image_id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"flag\" INTEGER DEFAULT -9)");
}

QString StoryTable() {
    return QStringLiteral(
        "CREATE TABLE \"story\" (\"filial\" TEXT COLLATE NOCASE, \"Hisdescript\" TEXT, \"flag\" INTEGER DEFAULT -9)");
}

QString GroupListTable() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"group_lst\" (\"group_name\" TEXT, \"group_sw\" INTEGER, "
        "\"Group_id\" INTEGER, \"group_creater\" TEXT, \"group_num\" INTEGER, \"group_script\" TEXT)");
}

QString MemberListTable() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"member_lst\" (\"member_name\" TEXT, \"member_sw\" INTEGER, "
        "\"member_id\" INTEGER, \"member_position_id\" INTEGER, \"member_lastgroup_id\" INTEGER, "
        "\"member_group_state\" INTEGER)");
}

QString EbookHitTable() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"newdown_eb\" (\"ebook_id\" INTEGER, \"ebook_name\" TEXT, "
        "\"author_org\" TEXT, \"author_e\" TEXT, \"down_num\" INTEGER DEFAULT 0, \"itsize\" REAL DEFAULT 0, "
        "\"StrgPswd\" TEXT, \"save_path\" TEXT, \"eb_innerno\" TEXT, \"script_key\" TEXT)");
}

QString EbookDownloadTable() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"olddown_eb\" (\"ebook_id\" INTEGER, \"lastdowndt\" TEXT, "
        "\"ebook_name\" TEXT)");
}

QStringList DataDbStatements() {
    return {MemberTable(),
            // One row per name: the name is the key of every other table.
            QStringLiteral("CREATE UNIQUE INDEX \"idx_member_filial\" ON \"本姓成员\" (\"filial\")"),
            QStringLiteral("CREATE INDEX \"idx_member_father\" ON \"本姓成员\" (\"father\")"),
            QStringLiteral("CREATE INDEX \"idx_member_flag\" ON \"本姓成员\" (\"flag\")"),
            InLawTable(),
            PageStartTable(),
            QStringLiteral("CREATE INDEX \"idx_pagestart_page\" ON \"temp世祖\" (\"currentpage\")"),
            PageOrderStatements()[0],
            PageOrderStatements()[1],
            PageOrderStatements()[2],
            BlankNameIndex(),
            QueueTable(),
            FlagQueueTable(),
            PageKeywordTable(),
            QStringLiteral("CREATE INDEX \"idx_pageindx_filial\" ON \"pageindx\" (\"filial\")"),
            PickListTable(),
            LayoutTable(),
            SettingsTable(),
            ChartTable(),
            PrintWorkTable(),
            GroupListTable(),
            MemberListTable(),
            EbookHitTable(),
            EbookDownloadTable()};
}

QString PicturePathIndex() {
    return QStringLiteral(
        "CREATE INDEX IF NOT EXISTS \"idx_image_filial_path\" ON \"imageylk\" (\"filial\", \"image_id\", \"imagepath\")");
}

QStringList ImageDbStatements() {
    return {PictureTable(), QStringLiteral("CREATE INDEX \"idx_image_filial\" ON \"imageylk\" (\"filial\")"),
            PicturePathIndex()};
}

QStringList DescriptDbStatements() {
    return {StoryTable(), QStringLiteral("CREATE INDEX \"idx_story_filial\" ON \"story\" (\"filial\")")};
}

namespace {

const char* const kEthnicGroups[] = {
    "汉族",   "蒙古族", "回族",   "藏族",     "维吾尔族", "苗族",   "彝族",   "壮族",   "布依族", "朝鲜族",
    "满族",   "侗族",   "瑶族",   "白族",     "土家族",   "哈尼族", "哈萨克族", "傣族", "黎族",   "傈僳族",
    "佤族",   "畲族",   "高山族", "拉祜族",   "水族",     "东乡族", "纳西族", "景颇族", "柯尔克孜族", "土族",
    "达斡尔族", "仫佬族", "羌族", "布朗族",   "撒拉族",   "毛南族", "仡佬族", "锡伯族", "阿昌族", "普米族",
    "塔吉克族", "怒族", "乌孜别克族", "俄罗斯族", "鄂温克族", "德昂族", "保安族", "裕固族", "京族", "塔塔尔族",
    "独龙族", "鄂伦春族", "赫哲族", "门巴族", "珞巴族", "基诺族"};

const char* const kEducationLevels[] = {"私塾", "秀才", "举人", "进士", "小学", "初中", "高中", "中专",
                                        "大专", "本科", "硕士", "博士", "博士后"};

// Position numbers: an approved member becomes 1; the founder takes the highest, the count of titles.
const char* const kPositionTitles[] = {"会员", "理事", "常务理事", "副会长", "会长"};

const char* const kUpdateItems[] = {"程序和帮助文件", "仅更新程序", "仅更新帮助文件"};

constexpr int kDefaultNodesPerPage = 30;

template <size_t N>
void InsertList(dao::Database& db, const char* const (&items)[N], int pageflag, bool numbered) {
    int n = 0;
    for (const char* item : items) {
        ++n;
        db.Execute(QStringLiteral("INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") VALUES (?, ?, ?)"),
                   {numbered ? QVariant(n) : QVariant(), QString::fromUtf8(item), pageflag});
    }
}

}  // namespace

void InsertShippedRows(dao::Database& db) {
    InsertList(db, kEthnicGroups, 1, false);
    InsertList(db, kEducationLevels, 2, false);
    InsertList(db, kPositionTitles, 5, true);
    InsertList(db, kUpdateItems, 8, false);
    // Settings record: row 0 holds fields 1 to 4 (dealer web address, telephone, name, members per
    // page), row 1 fields 5 to 7; both are stored scrambled with the settings key.
    const QString key = SettingsKey();
    db.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (0, ?)"),
               {EncodeText(QStringLiteral("%%%") + QString::number(kDefaultNodesPerPage), key)});
    db.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (1, ?)"),
               {EncodeText(QStringLiteral("%%"), key)});
}

}  // namespace book_schema

namespace {

struct BookFile {
    QString path;
    const char* what;
    QStringList statements;
    bool shippedRows;
};

QList<BookFile> TheBookFiles() {
    return {{DataDbPath(), "成员资料", book_schema::DataDbStatements(), true},
            {ImageDbPath(), "图片", book_schema::ImageDbStatements(), false},
            {DescriptDbPath(), "传记页面", book_schema::DescriptDbStatements(), false}};
}

QString PartOf(const QString& path) {
    return path + QStringLiteral(".part");
}

// Built under a temporary name, so a failure never leaves a half-made book file.
void CreatePart(const BookFile& file) {
    const QString part = PartOf(file.path);
    dao::RemoveWorkFiles(part);
    try {
        dao::Database db = dao::Database::Create(part, BookDbPassword());
        auto tx = db.BeginTrans();
        for (const QString& sql : file.statements) db.Execute(sql);
        if (file.shippedRows) book_schema::InsertShippedRows(db);
        tx.Commit();
        db.Close();
        dao::ReleaseIdleConnections(part);
    } catch (...) {
        dao::ReleaseIdleConnections(part);
        dao::RemoveWorkFiles(part);
        throw;
    }
}

}  // namespace

void EnsureBookFiles() {
    const QList<BookFile> files = TheBookFiles();
    QStringList missing;
    for (const BookFile& f : files)
        if (!QFileInfo::exists(f.path))
            missing << QStringLiteral("“%1”（%2）").arg(QFileInfo(f.path).fileName(), QString::fromUtf8(f.what));
    if (missing.isEmpty()) return;
    // One file gone beside the others is a lost file, not a new book: made afresh it would leave the
    // pictures and pages of the others pointing at no member.
    if (missing.size() < files.size())
        throw dao::DaoError(
            dao::kErrFileNotFound,
            QStringLiteral("族谱文件夹 '%1' 中缺少族谱文件 %2，其余的族谱文件还在。程序没有改动任何文件。"
                           "请从备份中把缺少的文件放回这个文件夹；若要开始一部新的族谱，请先把其余的族谱文件移到别处。")
                .arg(GetAppPath(), missing.join(QStringLiteral("、"))));
    try {
        for (const BookFile& f : files) CreatePart(f);
        for (const BookFile& f : files)
            if (!QFile::rename(PartOf(f.path), f.path))
                throw dao::DaoError(dao::kErrGeneric, QStringLiteral("不能创建文件 '%1'。").arg(f.path));
    } catch (...) {
        for (const BookFile& f : files) dao::RemoveWorkFiles(PartOf(f.path));
        throw;
    }
}

void CheckBookFiles() {
    for (const BookFile& f : TheBookFiles()) dao::Database::Open(f.path, BookDbPassword());
}

void RemoveStaleWorkFiles() {
    for (const BookFile& f : TheBookFiles()) {
        dao::RemoveWorkFiles(dao::RewriteWorkFile(f.path));
        dao::RemoveWorkFiles(PartOf(f.path));
        // Once the book files have been opened, their journals are rolled back and no super-journal
        // beside them is needed any more. A journal still there is one no transaction needs (its own was
        // committed, or it never got under way), unless another copy of the program is writing.
        dao::RemoveSuperJournals(f.path);
        dao::ReleaseIdleConnections(f.path);
        if (!dao::WorkFileList::IsHeld(f.path)) QFile::remove(f.path + QStringLiteral("-journal"));
    }
}
