#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "store/walked_branch.h"

class AttachedSideFiles;
class PageRunWrites;
class ReservedNames;
class TreeNodeSink;

// One file a page refers to: the address it is read from (as SaveAnyImage takes it) and whether it is
// the page background.
struct PageFileSource {
    QString source;
    bool background = false;
    bool operator==(const PageFileSource&) const = default;
};

// The data-operations object of the book: it works on the shared book files and keeps nothing of its
// own but the page jump's queue between calls. Creating one (re)opens the members database into DataDb.
// Its members live in one source file per area: names, generations, page starts, tree, page store,
// maintenance, account, packages.
class Cls数据操作 {
public:
    Cls数据操作();

    // ---- Unique names and counts (data_ops_names.cpp)
    QString TongMing字(bool skip, const QString& name, qint32 filial_id);
    qint32 TotalRecnNum();

    // ---- Generation numbering and branch flags (data_ops_generations.cpp)
    void 标识世祖(const QString& rootName, qint32 branch, qint16 livingMode, qint32& firstGeneration,
                  qint16& force, quint8& protection);
    void Chm_标识世祖(const QString& rootName, qint32 branch);
    void 清世代数据();
    // With forgetPagesAfter, the page starts after that page are forgotten in the same commit, so that
    // no start can be left naming a deleted member.
    void 删除有标识的子女(qint32 branch, std::optional<qint32> forgetPagesAfter = std::nullopt);
    // The next 标识世祖 keeps the branch it walks over the whole table, for the caller that would read
    // it back (the chart). Nothing is kept when it asked for children one by one instead, or found the
    // book unchanged since the last numbering.
    void KeepWalkedBranch() { keepWalked_ = true; }
    std::optional<WalkedBranch> TakeWalkedBranch();

    // ---- Page starts (data_ops_page_starts.cpp)
    void Find世祖(qint16 mode, const QString& name);
    void 删除起始页中世祖(const QString& name);
    void Del后续分页标志(qint32 page);
    void Test世祖();

    // ---- Tree display, expansion and pagination (data_ops_tree.cpp)
    void 显示世祖(TreeNodeSink& tree, qint16 pageSize);
    void Tree分结点数展开(TreeNodeSink& tree, qint16 pageSize);
    void Node分结点数跳页(qint16 pageSize, QString& target);
    // Page jumps made one after another between these two share their writes: committed whenever
    // window messages run and at the end, not once a page (a disk flush each).
    void BeginPageRun();
    void EndPageRun();
    // Node分结点数跳页 called again and again, raising CurrentPage after each call as the callers do, until
    // page stopAt is recorded, the target is met (it becomes "%SeekOK%") or the last page is reached:
    // the same pages recorded and the same queue left, but the member table is read once into memory
    // and the pages cut there (data_ops_page_jump.cpp). For a walk over many pages. False when something
    // else wrote to the book meanwhile: CurrentPage and the queue then stand where the pages recorded so
    // far end, and the caller goes on page by page.
    bool JumpPagesInMemory(qint32 stopAt, QString& target);
    void Tree分世代数展开(TreeNodeSink& tree, qint32 firstGeneration, qint32 lastGeneration);

    // ---- Page and picture store (data_ops_page_store.cpp)
    // False when the picture could not be had (missing or empty file, failed download) or stored.
    bool SaveAnyImage(const QString& source, bool deleteOnly, const QString& filial, bool background);
    void SaveAnyHtml(QString& html, const QString& filial);
    // The same two inside an operation of the caller's that has the picture and page files attached to
    // the members database: the rows join its transaction, and a database error reaches the caller.
    bool SaveAnyImageIn(const AttachedSideFiles& side, const QString& source, const QString& filial);
    void SaveAnyHtmlIn(const AttachedSideFiles& side, QString& html, const QString& filial);
    // Stores a member's page text with the files it refers to in one transaction over the picture and
    // page files: the member's stored files that the page no longer names go, the others take the
    // bytes read now, and a file that cannot be read keeps its stored copy. An error reaches the
    // caller with the stored page and files as they were. Returns the sources that could not be read
    // and had no stored copy.
    QStringList SavePageAndFiles(const QString& filial, const QString& html,
                                 const QList<PageFileSource>& files);
    bool GetAnyHtml(const QString& target, const QString& filial);
    // Writes the member's page to target with its pictures in images/ beside it; true when the member
    // has no stored page (nothing is written then).
    bool GetAnyHtml2(const QString& target, const QString& filial, bool withDetails);
    bool GetAnyHtmlCode(const QString& filial, QString& html);
    qint32 GnAnyImage(const QString& filial);
    void DeleteHtmlHead(QString& html);

    // ---- Database maintenance and settings record (data_ops_maintenance.cpp)
    void Dao修复压缩(const QString& source, const QString& temporary, const QString& password);
    void ChgPswd(const QString& file, const QString& oldPassword, const QString& newPassword);
    QString ChgPswd2();
    void SavePswd2(const QString& list0, const QString& list1);
    QString GetTeleNo();
    QString GetQQNo();
    void InitReport_Sxt(const QString& code);
    QString GetP_key(const QString& filial);

    // ---- On-line half: the last account logged on (src/online/data_ops_account.cpp)
    void SaveLastLogonAcc_id();
    void GetLastLogonAcc_id();

    // ---- On-line half: node rights (src/online/data_ops_rights.cpp)
    // A member is found by filial_id, or when that is negative by name: the node text after "}", and only
    // when no row has that exact name, the name before its "[n]".
    // Appends two rows to the report table skrslt.
    void TestOnline(const QString& first, const QString& second);
    // The account that created the member; 0 when none is recorded or there is no such member.
    qint32 GetNodeCreate_Id(qint32 filial_id, const QString& filial);
    // The user's right on a member: 3 for a member the user may change, other values refuse. The
    // window accepts 3 and 6.
    quint8 GetMyRight(qint32 filial_id, const QString& filial);
    // Asks the server for the right of one queued account that created uploaded members (rebuild 0
    // queues them afresh first): 1 when one was answered, 0 when none waits.
    quint8 AutoGetRight(quint8 rebuild);

    // ---- On-line half: member sync (src/online/data_ops_upload.cpp, data_ops_download.cpp,
    // data_ops_tree_download.cpp, data_ops_merge.cpp). Each exchange is one OnlineOperation: refused
    // with SyncError while another runs. Server failures raise ServerError, book failures dao::DaoError.
    // The member's server id; 0 when it was never uploaded or no member bears the name.
    qint32 GetSql_Id(const QString& filial);
    // The member and all its descendants count as never uploaded.
    void deleteSql_ID(const QString& filial);
    // The nearest ancestor not yet uploaded; "" when there is none, the member is unknown or the father
    // links run in a loop.
    QString CheckSqlId_0(const QString& filial);
    // Merges the staging file of DownLoad_All into the book, whole or not at all: 0, or the error
    // number (and its description) with the book unchanged.
    qint32 DaReLoad(const QString& path, QString* errorText = nullptr);
    // Refreshes the member that carries the server id from the server, a change of name with everything
    // that names the member; name becomes its local name. False, with nothing changed, for id 0 and for
    // a member the server no longer holds.
    bool DownLoad_1(qint32 serverId, QString& name);
    // Stages the tree under the server member rootId in downtmp.mdb for DaReLoad; answers the members
    // staged. A failure raises and leaves no staging file behind.
    qint32 DownLoad_All(qint32 rootId);
    // Deletes the member on the server; id 0 (never uploaded) sends nothing.
    void TongBuDelete_1(qint32 serverId);
    // Uploads the member with its page and pictures; the server id is written back. Stops with
    // SyncError at the first failure.
    void UpLoad_1(const QString& filial);
    // Uploads the members marked with the branch number in filial_id order, fathers sent earlier in the
    // batch by the names the server gave them; answers the members uploaded. At the first failure it
    // stops with SyncError, which says how far it got; the ids already written stay.
    qint32 UpLoad_All(qint32 branch);

    // ---- On-line half: clan associations (src/online/data_ops_groups.cpp)
    // After the user has left the association CurrentUser.curGroup_Id: members of the book uploaded by
    // another account that is still in it lose their server id. Always 0.
    quint8 ExitGroup2();
    // Replace the mirrors group_lst and member_lst with the server's rows, in one transaction once the
    // server has answered; a failure (ServerError, dao::DaoError) reaches the caller with the old rows kept.
    void RefreshGroupList();
    void RefreshMemberList();
    // Founds an association: the server's answer (the new association's id, 0 when refused); groupName
    // comes back as the server keeps it.
    qint32 CreateGroup(qint32 accountId, quint8 positionId, QString& groupName);

    // ---- Book packages (data_ops_package_export.cpp, data_ops_package_import.cpp)
    // Writes the marked branch to a package keyed with password, concealed with StrgPswdDigest when
    // set; returns the member rows written. Errors reach the caller, and a file at the path stays as it was.
    qint32 族谱备份(const QString& path, const QString& rootName, qint32 branch,
                    const QString& password = QString());
    // Merges a package into the book, all or nothing: 0, or the error number (and its description)
    // with the book unchanged.
    qint32 ReLoad(const QString& path, const QString& password, const QString& attachUnder,
                  const QString& digest, QString* errorText = nullptr);
    // Removes the private package copies that killed imports left in the temporary folder.
    static void RemoveImportLeftovers();

private:
    // Unique names against server ids, for the on-line half (data_ops_names.cpp).
    QString TongMing字Sql(const QString& name, qint32 mysql_id);
    // The same rule for a merge: against every member but the row filial_id (0: none), and clear of the
    // names the merge has already given out.
    QString TongMing字Merge(const QString& name, qint32 filial_id, const ReservedNames& reserved);
    friend class UniqueNamesProbe;  // tests reach the server-id variant
    // Stamps a member's pictures and page with a branch number (data_ops_generations.cpp).
    void SetImageStoryFlag(const QString& name, qint32 branch);
    // Writes a member's page file with the particulars heading (data_ops_page_store.cpp).
    quint8 GnMemberHtml(const QString& filial, const QString& target, const QString& pageText);
    // The page jump's queue, carried from one page to the next while the book is unchanged
    // (data_ops_tree.cpp).
    struct PageWalkState;
    std::shared_ptr<PageWalkState> pageWalk_;
    static void RecordJumpPage(PageWalkState& state, qint32 page, size_t added);
    std::shared_ptr<PageRunWrites> pageRun_;
    bool keepWalked_ = false;
    std::optional<WalkedBranch> walked_;
};
