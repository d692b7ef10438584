#pragma once

#include <QStringList>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "online/user_record.h"
#include "platform/door/server_error.h"
#include "platform/interaction/interaction.h"
#include "platform/settings_store.h"
#include "support/community_server.h"
#include "support/scripted_ui.h"
#include "support/temp_book.h"
#include "support/test_http_server.h"

// A book of its own, a community server of its own with its pages, scripted dialogs and a logged-off
// user: what every on-line command of the program meets.
class OnlineBookTest : public CommunityServerTest {
protected:
    void SetUp() override {
        ResetAppState();
        EnsureBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().CurrentUser = std::make_shared<Cls_User>();
        ui_ = InstallScriptedInteraction(&previousUi_);
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(QString(), addPages_), QString());
    }
    void TearDown() override {
        CommunityServerTest::TearDown();
        SetInteraction(std::move(previousUi_));
        ResetAppState();
        dao::ReleaseAllIdleConnections();
    }

    // The texts of the message boxes shown so far.
    QStringList messages() const {
        QStringList texts;
        for (const auto& call : ui_->log())
            if (call.kind == QLatin1String("MsgBox")) texts << call.text;
        return texts;
    }
    // The program's server is an address nobody answers at.
    void breakServer() { SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort())); }
    int ownerCount(const QString& sql) { return server_->admin().exec(sql).rows.value(0).value(0).toInt(); }
    // The book's rows of a query, each with its fields "|"-joined.
    QStringList rows(const QString& sql) {
        QStringList out;
        for (dao::Recordset rs = App().DataDb.OpenRecordset(sql); rs.hasRow(); rs.MoveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i) fields << rs.value(i).toString();
            out << fields.join(u'|');
        }
        return out;
    }

    TempBook book_;
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
    std::function<void(PageService&)> addPages_;
};
