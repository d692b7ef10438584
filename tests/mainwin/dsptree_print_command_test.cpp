#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>

#include "dsptree_fixture.h"
#include "platform/bookdir.h"
#include "platform/interaction/form_registry.h"
#include "print/forms/frm_print_ctrl.h"
#include "print/print_zp.h"

namespace {

// 甲 ─┬─ 乙 ── 丁
//     └─ 丙
class DsptreePrintCommandTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        FrmPrintCtrl::RegisterForm();
        Add("甲", QString());
        Add("乙", "甲");
        Add("丙", "甲");
        Add("丁", "乙");
        Open();
    }
    void TearDown() override {
        DsptreeFixture::TearDown();
        FormRegistry::Unregister("FrmPrintCtrl");
    }
    // The dialog answers with a chart format (0, 1, 2) or, for -1, the vertical register; the title "T".
    // Every time it opens, its title is the member's name and the word, whatever was printed before.
    void ExpectDialog(int format, const QString& member = "甲") {
        ui_->ExpectForm("FrmPrintCtrl", [format, member](QObject* object) {
            auto* form = dynamic_cast<FrmPrintCtrl*>(object);
            EXPECT_EQ(form->TxtRptName()->text(), member + "世系图");
            form->TxtRptName()->setText("T");
            if (format < 0) {
                form->Chk_FontStyle()->click();
            } else {
                form->Opt_PXStyle(format)->setChecked(true);
            }
            form->CmdOk_Click();
            return 1;
        });
    }
    void ExpectStartGeneration() {
        ui_->ExpectForm("FrmLittle", [](QObject*) {
            App().FormParamString = "1";
            return 1;
        });
    }
    void Print(const QString& member) {
        Click(member);
        window_->TbarOpEx_ButtonClick("b_print");
    }
};

TEST_F(DsptreePrintCommandTest, EachKindGoesWhereItBelongs) {
    // Cancelled: nothing more.
    ui_->ExpectForm("FrmPrintCtrl", [](QObject* form) {
        dynamic_cast<FrmPrintCtrl*>(form)->CmdCancel_Click();
        return 0;
    });
    Print("甲");
    EXPECT_EQ(ui_->log().size(), 1u);

    // The standard chart opens in the chart browser with its preview preset.
    ExpectDialog(0);
    ExpectStartGeneration();
    ui_->ExpectForm("Pxt_Brw", [](QObject*) {
        EXPECT_EQ(App().PreviewPaperKind, 2);
        EXPECT_EQ(App().PreviewFontSize, 20.0f);
        EXPECT_EQ(App().DataDb.Scalar("SELECT \"code\" FROM \"skrslt\" ORDER BY \"id\" LIMIT 1").toString(),
                  "T");
        return 0;
    });
    Print("甲");

    // The site: the chart page under its title in chm/.
    ExpectDialog(1);
    ExpectStartGeneration();
    ui_->ExpectMsgBox(vb::OK);
    Print("甲");
    EXPECT_EQ(LastDialog().text, "文件已生成,存放在：" + GetAppPath() + "chm/T.htm");
    EXPECT_TRUE(QFile::exists(GetAppPath() + "chm/T.htm"));

    // The e-book is named after the member, and only for a member with children.
    ExpectDialog(2, "丙");
    Print("丙");
    ExpectDialog(2, "乙");
    ui_->ExpectMsgBox(vb::OK);
    Print("乙");
    EXPECT_EQ(LastDialog().text, "文件已生成,存放在：" + GetAppPath() + "chm/乙.chm");
    EXPECT_TRUE(QFile::exists(GetAppPath() + "chm/乙.chm"));

    // The book goes through the viewer, which is blank again afterwards.
    QFile::remove(clsPrintZp::BookFile());
    ExpectDialog(-1);
    ExpectStartGeneration();
    Print("甲");
    EXPECT_TRUE(QFile::exists(clsPrintZp::BookFile()));
    EXPECT_EQ(window_->WebBrowser1()->LocationURL(), "about:blank");
}

TEST_F(DsptreePrintCommandTest, NodeChmBuildsTheEbookOfTheBranch) {
    Click("乙");
    ui_->ExpectMsgBox(vb::OK);
    window_->Toolbar1_ButtonClick("node_chm");
    EXPECT_EQ(LastDialog().text, "文件已生成,存放在：" + GetAppPath() + "chm/乙.chm");
    EXPECT_TRUE(QFile::exists(GetAppPath() + "chm/乙.chm"));
}

}  // namespace
