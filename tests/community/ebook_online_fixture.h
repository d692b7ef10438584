#pragma once

#include <QDir>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "community/forms/frm_get_info.h"
#include "community/forms/frm_search.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "member/forms/frm_col_select.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"
#include "support/community_server.h"
#include "support/scripted_ui.h"
#include "support/temp_book.h"

// A book of its own (and more on request: a family publishes from one book, another imports into its
// own), a community server whose page service hands out the files of a folder, and scripted dialogs.
class EbookOnlineTest : public CommunityServerTest {
protected:
    void SetUp() override {
        ResetAppState();
        books_.push_back(std::make_unique<TempBook>());
        openBook();
        ui_ = InstallScriptedInteraction(&previousUi_);
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(root_.isValid() && QDir(root_.path()).mkpath(QStringLiteral("ebook")));
        ASSERT_EQ(server_->startPages(root_.path()), QString());
        FrmSearch::RegisterForm();
        FrmGetInfo::RegisterForm();
        FrmColSelect::RegisterForm();
    }
    void TearDown() override {
        CommunityServerTest::TearDown();
        SetInteraction(std::move(previousUi_));
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        while (!books_.empty()) books_.pop_back();
    }

    static void openBook() {
        EnsureBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    // Another family's book becomes the open one.
    void switchToNewBook() {
        App().DataDb.Close();
        dao::ReleaseAllIdleConnections();
        books_.push_back(std::make_unique<TempBook>());
        openBook();
    }

    // 张祖 with his sons 张甲 and 张乙 and a page for 张甲, written from the open book as an e-book
    // database (password "586") into the served folder.
    QString makeEbookFile(const QString& fileName) {
        dao::Database& db = App().DataDb;
        for (const auto& [name, father] : {std::pair{"张祖", ""}, {"张甲", "张祖"}, {"张乙", "张祖"}})
            db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)"),
                       {QString::fromUtf8(name), QString::fromUtf8(father)});
        dao::Database::Open(DescriptDbPath(), BookDbPassword())
            .Execute(QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                     {QStringLiteral("张甲"), QStringLiteral("<p>迁居记</p>")});
        Cls数据操作 ops;
        qint32 first = 1;
        qint16 force = -1;
        quint8 protection = 99;
        ops.标识世祖(QStringLiteral("张祖"), 7, 0, first, force, protection);
        const QString path = served(fileName);
        EXPECT_EQ(ops.族谱备份(path, QStringLiteral("张祖"), 7, QStringLiteral("586")), 3);
        return path;
    }
    QString served(const QString& fileName) const {
        return root_.filePath(QStringLiteral("ebook/") + fileName);
    }
    QString url(const QString& fileName) const {
        return server_->url() + QStringLiteral("/ebook/") + fileName;
    }

    QStringList messages() const {
        QStringList texts;
        for (const auto& call : ui_->log())
            if (call.kind == QLatin1String("MsgBox")) texts << call.text;
        return texts;
    }
    static QLineEdit* field(QWidget& form, const char* name) {
        return form.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    qint64 count(const QString& sql) { return App().DataDb.Scalar(sql).toLongLong(); }
    QString serverValue(const QString& sql) { return server_->admin().exec(sql).rows.value(0).value(0); }

    std::vector<std::unique_ptr<TempBook>> books_;
    QTemporaryDir root_;
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
};
