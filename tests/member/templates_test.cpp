#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "member/hint_lists.h"
#include "member/template_files.h"
#include "member/template_menu.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

using Controls = QList<Cls提示::TemplateControl>;

const QString kBuiltInRefused = QStringLiteral("不能用内置模板名保存!");
const QString kFilter = QStringLiteral("模板(*.Zpt)|*.zpt|所有文件（*.*）|*.*");

// The member form as designed: every caption and check box visible with its design caption.
Controls DesignForm() {
    const QStringList captions{
        "父亲：",         "母亲：",         "在世",           "民族：",         "文化：", "技或位：",
        "母亲生于居于：", "母亲卒于葬于：", "子女：",         "男女",           "在世",   "称：",
        "讳：",           "字：",           "谥：",           "号：",           "民族：", "文化：",
        "技或位：",       "子女生于居于：", "子女卒于葬于：", "F2:粘贴 F3:复制"};
    Controls form;
    const QStringList& names = Cls提示::TemplateControlNames();
    for (int i = 0; i < names.size(); ++i) form << Cls提示::TemplateControl{names[i], captions[i], true};
    return form;
}

Cls提示::TemplateControl& Control(Controls& form, const QString& name) {
    for (auto& c : form)
        if (c.name == name) return c;
    throw std::logic_error("no such control");
}

class Templates : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    void SetUp() override {
        App().DataDb.Execute("DELETE FROM \"rowcolctrl\"");
        App().Translator = std::make_shared<ClsLanguage>();
        ui = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        EXPECT_TRUE(ui->AllConsumed());
        SetInteraction(std::move(previous_));
    }

    // Every row of a name as "col_name|col_visible|seqno|col_width" in table order.
    static QStringList Rows(const QString& name) {
        QStringList rows;
        dao::Recordset rs = App().DataDb.OpenRecordset(
            "SELECT * FROM \"rowcolctrl\" WHERE \"table_name\" = ? ORDER BY rowid", {name});
        for (; !rs.EOF_(); rs.MoveNext())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(rs.Text("col_name"), rs.Text("col_visible"), rs.Text("seqno"),
                             rs.Text("col_width"));
        return rows;
    }
    static QStringList RowsLike(const QString& name, const QString& prefix) {
        return Rows(name).filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    }
    static QByteArray FileBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static void WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    ScriptedInteraction* ui = nullptr;
    std::unique_ptr<Interaction> previous_;
    Cls提示 hints_;
};

TEST_F(Templates, SavingInBothStylesKeepsOneBirthAndDeathRowPerStyle) {
    Controls form = DesignForm();
    Control(form, "Lbl_b谥").visible = false;
    Control(form, "Lbl_b生于").caption = "生：";
    hints_.SaveAllFrm子女(1, form, "甲式");

    QStringList rows = Rows("甲式");
    ASSERT_EQ(rows.size(), 22);
    EXPECT_EQ(rows.first(), "Lbl_father%父亲：|0|0|0");
    EXPECT_EQ(rows[14], "Lbl_b谥%谥：|1|0|0");
    EXPECT_EQ(rows[19], "Lbl_b生于%生：|0|1|0");
    EXPECT_EQ(rows[20], "Lbl_b卒于%子女卒于葬于：|0|1|0");
    EXPECT_EQ(rows.last(), "LblOp%F2:粘贴 F3:复制|0|0|0");

    // Style 2 replaces the ordinary rows and adds its own birth and death rows.
    Control(form, "Lbl_b生于").caption = "出生：";
    Control(form, "Lbl_b谥").visible = true;
    hints_.SaveAllFrm子女(2, form, "甲式");
    rows = Rows("甲式");
    EXPECT_EQ(rows.size(), 24);
    EXPECT_EQ(RowsLike("甲式", "Lbl_b生于"), QStringList({"Lbl_b生于%生：|0|1|0", "Lbl_b生于%出生：|0|2|0"}));
    EXPECT_EQ(RowsLike("甲式", "Lbl_b卒于").size(), 2);
    EXPECT_EQ(RowsLike("甲式", "Lbl_b谥"), QStringList({"Lbl_b谥%谥：|0|0|0"}));

    // Saving style 1 again rewrites its own birth row in place and keeps style 2's.
    Control(form, "Lbl_b生于").caption = "诞：";
    hints_.SaveAllFrm子女(1, form, "甲式");
    EXPECT_EQ(Rows("甲式").size(), 24);
    EXPECT_EQ(RowsLike("甲式", "Lbl_b生于"), QStringList({"Lbl_b生于%出生：|0|2|0", "Lbl_b生于%诞：|0|1|0"}));
}

TEST_F(Templates, ApplyingSetsCaptionsAndListsHiddenCaptions) {
    Controls saved = DesignForm();
    for (const char* name : {"Lbl_m位", "Lbl_boy", "LblOp", "Lbl_b谥", "Lbl_b卒于"})
        Control(saved, name).visible = false;
    Control(saved, "Lbl_b号").caption = "";
    Control(saved, "Lbl_b称").caption = "尊称：";
    Control(saved, "Lbl_b生于").caption = "甲生：";
    hints_.SaveAllFrm子女(1, saved, "乙式");
    Control(saved, "Lbl_b生于").caption = "乙生：";
    Control(saved, "Lbl_b卒于").visible = true;
    hints_.SaveAllFrm子女(2, saved, "乙式");
    // A row for a control the form lacks is skipped.
    App().DataDb.Execute(
        "INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_visible\") "
        "VALUES ('乙式', 'Lbl_gone%无', 1)");

    Controls form = DesignForm();
    form.removeIf([](const auto& c) { return c.name == "Lbl_b位"; });
    const QString hidden = hints_.DsptAllFrm子女(1, form, "乙式");
    EXPECT_EQ(hidden, "%Lbl_m位%Lbl_b谥%Lbl_b卒于");
    EXPECT_FALSE(Control(form, "Lbl_boy").visible);
    EXPECT_FALSE(Control(form, "LblOp").visible);
    EXPECT_EQ(Control(form, "Lbl_b号").caption, "号：");
    EXPECT_EQ(Control(form, "Lbl_b称").caption, "尊称：");
    EXPECT_EQ(Control(form, "Lbl_b生于").caption, "甲生：");

    Controls other = DesignForm();
    EXPECT_EQ(hints_.DsptAllFrm子女(2, other, "乙式"), "%Lbl_m位%Lbl_b谥");
    hints_.Dspt生于卒于(1, other, "乙式");
    EXPECT_EQ(Control(other, "Lbl_b生于").caption, "甲生：");
    EXPECT_TRUE(Control(other, "Lbl_b卒于").visible);

    Controls untouched = DesignForm();
    EXPECT_EQ(hints_.DsptAllFrm子女(1, untouched, ""), "");
    hints_.Dspt生于卒于(1, untouched, "");
    EXPECT_EQ(Control(untouched, "Lbl_b生于").caption, "子女生于居于：");
    EXPECT_TRUE(Control(untouched, "Lbl_m位").visible);
}

TEST_F(Templates, ListAndDeleteTouchTemplateRowsOnly) {
    dao::Database& db = App().DataDb;
    // A list window's layout, and a template that happens to share its name.
    db.Execute("INSERT INTO \"rowcolctrl\" VALUES ('member_lst', '姓名', 120, 2, 50)");
    db.Execute("INSERT INTO \"rowcolctrl\" VALUES ('member_lst', 'Lbl_b称', 90, 3, 100)");
    db.Execute("INSERT INTO \"rowcolctrl\" VALUES ('group_lst', '会名', 80, 2, 50)");
    hints_.SaveAllFrm子女(1, DesignForm(), "member_lst");
    hints_.SaveAllFrm子女(2, DesignForm(), "乙式");
    hints_.SaveAllFrm子女(1, DesignForm(), "O'Brien");
    hints_.SaveAllFrm子女(1, DesignForm(), "乙式");
    EXPECT_EQ(RowsLike("member_lst", "Lbl_b称"), QStringList({"Lbl_b称|3|100|90", "Lbl_b称%称：|0|0|0"}));

    QStringList names{"已有"};
    hints_.Bind输入模板(names);
    EXPECT_EQ(names, QStringList({"已有", "member_lst", "O'Brien", "乙式"}));

    hints_.DeleteInputTemp("member_lst");
    hints_.DeleteInputTemp("O'Brien");
    EXPECT_EQ(Rows("member_lst"), QStringList({"姓名|2|50|120", "Lbl_b称|3|100|90"}));
    EXPECT_EQ(Rows("group_lst"), QStringList({"会名|2|50|80"}));
    EXPECT_TRUE(Rows("O'Brien").isEmpty());
    EXPECT_EQ(Rows("乙式").size(), 24);
}

TEST_F(Templates, ExportWritesGb18030LinesAndImportReadsThemBack) {
    Controls form{
        {"Lbl_father", "父亲：", true}, {"Lbl_b称", "称号：", false}, {"Lbl_b生于", "生于：", true}};
    hints_.SaveAllFrm子女(1, form, "家谱甲");

    const QString exported = book_->file("out/家谱甲.Zpt");
    QDir().mkpath(book_->file("out"));
    ui->ExpectSaveFile(exported);
    ui->ExpectMsgBox(vb::OK);
    EXPECT_TRUE(TemplateMenu::Export("家谱甲"));
    EXPECT_EQ(ui->log()[0].kind, "SaveFile");
    EXPECT_EQ(ui->log()[0].filter, kFilter);
    EXPECT_EQ(ui->log()[0].initial, "家谱甲.Zpt");
    EXPECT_EQ(ui->log()[1].text, "成功导出!");
    EXPECT_EQ(ui->log()[1].style, vb::Information);
    EXPECT_EQ(FileBytes(exported).toHex(),
              "224c626c5f66617468657225b8b8c7d7a3ba222c22bcd2c6d7bcd7222c302c300d0a"
              "224c626c5f62b3c625b3c6bac5a3ba222c22bcd2c6d7bcd7222c312c300d0a"
              "224c626c5f62c9fad3da25c9fad3daa3ba222c22bcd2c6d7bcd7222c302c310d0a");

    // Named by the file's name up to its first dot; importing twice leaves one copy.
    const QString copy = book_->file("out/新谱.第二版.Zpt");
    QFile::copy(exported, copy);
    for (int i = 0; i < 2; ++i) {
        ui->ExpectOpenFile(copy);
        ui->ExpectMsgBox(vb::OK);
        EXPECT_TRUE(TemplateMenu::Import());
    }
    EXPECT_EQ(ui->log().back().text, "成功导入!");
    EXPECT_EQ(Rows("新谱"),
              QStringList({"Lbl_father%父亲：|0|0|0", "Lbl_b称%称号：|1|0|0", "Lbl_b生于%生于：|0|1|0"}));

    // The built-in template exports as an empty file.
    ui->ExpectSaveFile(book_->file("out/builtin.Zpt"));
    ui->ExpectMsgBox(vb::OK);
    EXPECT_TRUE(TemplateMenu::Export(Cls提示::kBuiltInTemplate));
    EXPECT_EQ(FileBytes(book_->file("out/builtin.Zpt")), QByteArray());
}

TEST_F(Templates, ImportReadsOldFilesUnderTheFileName) {
    // An older file: blanks around the items, a bare item, another template's name.
    const QString path = book_->file("旧.Zpt");
    WriteBytes(path,
               QByteArray::fromHex("224c626c5f62dad625dad6bac522202c20c6e4cbfbc3fb202c2031202c20300d0a") +
                   "\r\n\"LblOp%\",\"x\",0,0");
    hints_.TemplateImport(path, "旧");
    EXPECT_EQ(Rows("旧"), QStringList({"Lbl_b谥%谥号|1|0|0", "LblOp%|0|0|0"}));
    EXPECT_TRUE(Rows("其他名").isEmpty());

    // A double quote in a caption survives the round trip as its full-width form.
    hints_.SaveAllFrm子女(1, {{"Lbl_b号", "号\"别\"：", true}}, "引号");
    const QString quoted = book_->file("引号.Zpt");
    hints_.TemplateExport(quoted, "引号");
    hints_.TemplateImport(quoted, "引号");
    EXPECT_EQ(Rows("引号"), QStringList({"Lbl_b号%号＂别＂：|0|0|0"}));
}

TEST_F(Templates, RefusalsChangeNothing) {
    hints_.SaveAllFrm子女(1, DesignForm(), "丙式");
    const QStringList before = Rows("丙式");

    // The built-in name, an empty answer and a cancel save nothing and keep the current name.
    ui->ExpectInput(Cls提示::kBuiltInTemplate);
    ui->ExpectMsgBox(vb::OK);
    ui->ExpectInput("");
    ui->ExpectInput("", true);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TemplateMenu::SaveAs(1, DesignForm(), "丙式"), "丙式");
    EXPECT_EQ(ui->log()[0].text, "输入自定义模板名称：");
    EXPECT_EQ(ui->log()[0].initial, "丙式");
    EXPECT_EQ(ui->log()[1].text, kBuiltInRefused);
    EXPECT_EQ(ui->log()[1].style, vb::Critical);
    EXPECT_TRUE(Rows(Cls提示::kBuiltInTemplate).isEmpty());

    ui->ExpectInput("丁式");
    EXPECT_EQ(TemplateMenu::SaveAs(2, DesignForm(), "丙式"), "丁式");
    EXPECT_EQ(Rows("丁式").size(), 22);

    // A file named like the built-in template is refused.
    const QString builtIn = book_->file("Qentara族谱.Zpt");
    hints_.TemplateExport(builtIn, "丙式");
    ui->ExpectOpenFile(builtIn);
    ui->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(TemplateMenu::Import());
    EXPECT_EQ(ui->log().back().text, kBuiltInRefused);
    EXPECT_EQ(ui->log().back().style, vb::Critical);
    EXPECT_TRUE(Rows(Cls提示::kBuiltInTemplate).isEmpty());
    // Names compare without regard to case, as template names always did.
    const QString builtInLower = book_->file("qentara族谱.Zpt");
    hints_.TemplateExport(builtInLower, "丙式");
    ui->ExpectOpenFile(builtInLower);
    ui->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(TemplateMenu::Import());
    EXPECT_EQ(ui->log().back().text, kBuiltInRefused);

    // A damaged file keeps the template it would have replaced.
    const QString damaged = book_->file("丙式.Zpt");
    WriteBytes(damaged, "\"Lbl_b称%称：\",\"丙式\",0,0\r\n\"Lbl_b讳%讳：\",\"丙式\",0\r\n");
    ui->ExpectOpenFile(damaged);
    ui->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(TemplateMenu::Import());
    EXPECT_EQ(ui->log().back().text, "模板文件格式不正确（第2行）：" + damaged);
    EXPECT_EQ(Rows("丙式"), before);

    // A cancelled dialog does nothing; a failed write reports no success.
    ui->ExpectOpenFile("");
    EXPECT_FALSE(TemplateMenu::Import());
    ui->ExpectSaveFile(book_->file("no/such/folder/丙式.Zpt"));
    ui->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(TemplateMenu::Export("丙式"));
    EXPECT_EQ(ui->log().back().text, "模板文件无法写入：" + book_->file("no/such/folder/丙式.Zpt"));
}

}  // namespace

namespace {

TEST_F(Templates, MessagesFollowTheLanguage) {
    App().LanguageId = 1;
    hints_.SaveAllFrm子女(1, DesignForm(), "丙式");
    ui->ExpectInput(Cls提示::kBuiltInTemplate);
    ui->ExpectMsgBox(vb::OK);
    TemplateMenu::SaveAs(1, DesignForm(), "丙式");
    ui->ExpectSaveFile(book_->file("丙式.Zpt"));
    ui->ExpectMsgBox(vb::OK);
    TemplateMenu::Export("丙式");
    ui->ExpectOpenFile(book_->file("丙式.Zpt"));
    ui->ExpectMsgBox(vb::OK);
    TemplateMenu::Import();
    App().LanguageId = 0;
    EXPECT_EQ(ui->log()[1].text, "不能用內置模板名保存!");
    EXPECT_EQ(ui->log()[3].text, "成功導出!");
    EXPECT_EQ(ui->log()[5].text, "成功導入!");
}

}  // namespace
