#pragma once

#include <gtest/gtest.h>
#include <QTreeWidget>
#include <memory>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/page_viewer.h"
#include "member/member_record.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"
#include "store/setup_rules.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

// A throwaway book, scripted dialogs, a stand-in launcher and a main window over them, with a viewer
// that needs no web engine. Members are added before Open() loads the window.
class DsptreeFixture : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        PageViewer::SetEngineEnabled(false);
        ui_ = InstallScriptedInteraction(&previous_);
        App().CurrentUser = std::make_shared<Cls_User>();
        SaveAppSetting(QStringLiteral("dividerpage"), QString());
        launcher_ = std::make_unique<QWidget>();
        launcher_->setObjectName(QStringLiteral("mQentaraQp"));
        launcher_->setWindowTitle(QStringLiteral("Qentara族谱"));
        launcher_->show();
        ops_ = std::make_unique<Cls数据操作>();
        SetNodesPerPage(30);
    }
    void TearDown() override {
        window_.reset();
        launcher_.reset();
        ops_.reset();
        EXPECT_TRUE(ui_->AllConsumed()) << ui_->remaining() << " dialogs left";
        SetInteraction(std::move(previous_));
        PageViewer::SetEngineEnabled(true);
        BookFixture::TearDown();
    }

    static dao::Database& Db() { return App().DataDb; }

    static void SetNodesPerPage(int n) {
        SettingsRecord record = SettingsRecord::Load();
        record.setField(SettingsRecord::kMembersPerPageField, QString::number(n));
        record.Save();
    }
    static void Add(const QString& name, const QString& father, qint32 generation = -9999, bool male = true) {
        Db().Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"generation\", \"Boy_Sex\", "
                           "\"boy_sort\") VALUES (?, ?, ?, ?, 0)"),
            {name, father, generation, male});
    }
    static QString FatherOf(const QString& name) {
        return Db()
            .Scalar(QStringLiteral("SELECT \"father\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {name})
            .toString();
    }

    dsptree& Open() {
        window_ = std::make_unique<dsptree>();
        window_->popupMenu = [this](QMenu* menu, const QPoint&) { popups_.push_back(menu); };
        window_->startDrag = [] {};
        window_->Form_Load();
        window_->show();
        return *window_;
    }

    TreeWidgetNodes& Nodes() { return window_->TreeNodes(); }
    QTreeWidgetItem* Node(const QString& name) { return Nodes().ItemAt(Nodes().IndexOf("_" + name)); }
    QString ParentOf(const QString& name) { return Nodes().ParentKeyAt(Nodes().IndexOf("_" + name)); }
    // The middle of a node's label, in twips of the tree's viewport.
    QPoint Twips(const QString& name) {
        window_->TreeVw()->scrollToItem(Node(name));
        return window_->TreeVw()->visualItemRect(Node(name)).center() * 15;
    }
    void Click(const QString& name) { window_->TreeVw_NodeClick(Node(name)); }
    // Presses on one node, moves far enough to drag and drops on another.
    void Drag(const QString& from, const QString& to) {
        window_->TreeVw_MouseDown(1, Twips(from));
        ASSERT_TRUE(window_->TreeVw_MouseMove(1, Twips(from) + QPoint(0, 51)));
        window_->TreeVw_DragOver(Twips(to));
        window_->TreeVw_DragDrop();
    }
    const ScriptedInteraction::Recorded& LastDialog() { return ui_->log().back(); }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::unique_ptr<QWidget> launcher_;
    std::unique_ptr<Cls数据操作> ops_;
    std::unique_ptr<dsptree> window_;
    std::vector<QMenu*> popups_;
};
