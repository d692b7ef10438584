// A long session on a generated book, as a user walks it: children added, searches, an edit, page walks
// in both directions. Whatever the session did, the page prompt names the last page a fresh cut of the
// book finds, and a page turn is offered wherever the book may go on.
#include <gtest/gtest.h>
#include <QLineEdit>

#include "mainwin/tree_pages.h"
#include "node_commands_fixture.h"
#include "store/test_data_generator.h"

namespace {

// Five lines of single sons over 60 generations, 5 members a page: 61 pages.
class PageSessionTest : public NodeCommandsFixture {
protected:
    void SetUp() override {
        NodeCommandsFixture::SetUp();
        ClsTest().生成测试数据(60);
        SetNodesPerPage(5);
    }
    // A page chosen in the prompt (and the message that a page beyond the book brings); records whether
    // the prompt came up at all.
    void Turn(const char* key, const QString& answer, bool pastTheEnd = false) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [this, answer](QObject*) {
            ++prompts_;
            App().FormParamString = answer;
            return 1;
        });
        if (pastTheEnd) ui_->ExpectMsgBox(vb::OK);
        window_->TbarOP_ButtonClick(QString::fromLatin1(key));
    }
    // The last page as the prompt names it for a page beyond any book.
    QString LastPageNamed() {
        Turn("NextPage", QStringLiteral("99999"), true);
        return LastDialog().text;
    }
    // As a start after the book was changed elsewhere: page 1 cut afresh, the rest unknown.
    QString LastPageOfAFreshCut() {
        DataOps().Find世祖(0, QString());
        App().CurrentPage = 1;
        window_->SetPageCount(61);
        return LastPageNamed();
    }
    Cls数据操作& DataOps() { return *ops_; }
    void Seek(const QString& name) {
        ui_->ExpectForm(QStringLiteral("Frm子女"), [](QObject*) {
            App().FormParamString = QStringLiteral("ok");
            return 1;
        });
        if (!Nodes().Exists("_" + name)) ui_->ExpectMsgBox(vb::Yes);
        window_->SeekMember(name);
        ASSERT_EQ(window_->TreeTag(), name);
    }
    void EditBirthday(const QString& name, const QString& birthday) {
        Select(name);
        ui_->ExpectForm(QStringLiteral("Frm子女"), [birthday](QObject* object) {
            auto* form = dynamic_cast<Frm子女*>(object);
            form->findChild<QLineEdit*>(QStringLiteral("Txt子生日"))->setText(birthday);
            form->CmdSave_Click();
            return 1;
        });
        Press("node_edit");
    }
    int prompts_ = 0;
};

TEST_F(PageSessionTest, TheLastPageNamedIsTheBooksLastAfterALongSession) {
    Open();
    Turn("NextPage", QStringLiteral("3"));
    Select(QStringLiteral("A2"));
    ExpectMemberForm(QStringLiteral("A2甲"));
    Press("node_zhilu");
    Select(QStringLiteral("A2"));
    ExpectMemberForm(QStringLiteral("A2乙"));
    Press("node_zhilu");
    Seek(QStringLiteral("C40"));
    EXPECT_EQ(LastPageNamed(), QStringLiteral("最后一页是第 61 页"));
    EXPECT_FALSE(App().RepaginateNeeded);

    // An edit that changes the order of A2's sons marks no page stale; the search from page 4 walks
    // again from page 1 and cuts those pages anew, forgetting the ones it does not reach.
    Turn("Previous", QStringLiteral("4"));
    EditBirthday(QStringLiteral("A3"), QStringLiteral("1999"));
    Seek(QStringLiteral("D30"));
    EXPECT_EQ(LastPageNamed(), QStringLiteral("最后一页是第 61 页"));
    EXPECT_EQ(App().CurrentPage, 61);

    // Children added on the last page: the book may now go on, so the next page is offered.
    for (const char line : {'A', 'B', 'C', 'D', 'E'}) {
        Select(QChar::fromLatin1(line) + QStringLiteral("60"));
        ExpectMemberForm(QChar::fromLatin1(line) + QStringLiteral("61"));
        Press("node_zhilu");
    }
    const int before = prompts_;
    Turn("NextPage", QStringLiteral("62"));
    EXPECT_EQ(prompts_, before + 1);
    EXPECT_EQ(App().CurrentPage, 62);
    EXPECT_EQ(Nodes().KeyAt(1), QStringLiteral("_D60"));
    // The walk there met the end of the book: the page count is the real one again.
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(window_->PageCount(), 62);
    EXPECT_EQ(LastPageOfAFreshCut(), QStringLiteral("最后一页是第 62 页"));
}

}  // namespace
