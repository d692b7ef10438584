#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <memory>

#include "frame/app_state.h"
#include "print/forms/frm_print_ctrl.h"
#include "print/golden.h"
#include "print/page_setup.h"
#include "support/scripted_ui.h"

namespace {

class FrmPrintCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ui_ = InstallScriptedInteraction(&previous_);
        page_setup::Store("header", "old header");
        page_setup::Store("footer", "");
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
        ResetAppState();
    }
    std::unique_ptr<FrmPrintCtrl> Open(const QString& member = "张三") {
        App().FormParamString = member;
        auto form = std::make_unique<FrmPrintCtrl>();
        form->Form_Load();
        return form;
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

TEST_F(FrmPrintCtrlTest, LoadTakesTheTitleAndTheChartAddsTheWordOnce) {
    auto form = Open();
    EXPECT_EQ(App().FormParamString, "");
    EXPECT_EQ(form->TxtRptName()->text(), "张三世系图");
    form->Opt_Click(3);
    form->Opt_Click(0);
    EXPECT_EQ(form->TxtRptName()->text(), "张三世系图");
    form->TxtRptName()->setText("张氏");
    form->Opt_Click(0);
    EXPECT_EQ(form->TxtRptName()->text(), "张氏世系图");
    EXPECT_TRUE(form->Opt(0)->isChecked());
    EXPECT_TRUE(form->ChkPageNo()->isChecked());
    EXPECT_EQ(form->CmbPageNoAlignment()->currentText(), "靠左");
}

// Dark pixels of an area of the image: the caption's strokes.
int Ink(const QImage& image, const QRect& area) {
    int ink = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ink += qGray(image.pixel(x, y)) < 128;
    return ink;
}

TEST_F(FrmPrintCtrlTest, TheSurnameBoxStandsInTheCaptionsGapAndCoversNoneOfItsWords) {
    // The program's interface face, whose spaces are narrow.
    const QFont previous = QApplication::font();
    QFont face = previous;
    face.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
    QApplication::setFont(face);
    auto form = Open();
    form->show();
    QRadioButton* option = form->PrintStyle(1);
    QLineEdit* box = form->Txt姓字();
    EXPECT_EQ(option->text(), "分拆姓      字");
    EXPECT_GE(box->width(), QFontMetrics(box->font()).horizontalAdvance("00"));

    // With the box hidden, nothing of the caption is drawn where the box stands; 分拆姓 is drawn to
    // its left and 字 to its right, on the option's row.
    QWidget* frame = option->parentWidget();
    box->hide();
    const QImage caption = frame->grab().toImage();
    box->show();
    const QRect row(QPoint(option->x(), option->y()),
                    QPoint(frame->width() - 1, option->geometry().bottom()));
    const QRect under = box->geometry().intersected(row);
    EXPECT_EQ(Ink(caption, under), 0);
    EXPECT_GT(Ink(caption, QRect(QPoint(option->x(), row.top()), QPoint(under.left() - 1, row.bottom()))),
              30);
    EXPECT_GT(Ink(caption, QRect(QPoint(under.right() + 1, row.top()), row.bottomRight())), 30);
    // Shown, the box changes nothing outside its own rectangle on that row.
    const QImage shown = frame->grab().toImage();
    for (const QRect& side : {QRect(QPoint(option->x(), row.top()), QPoint(under.left() - 1, row.bottom())),
                              QRect(QPoint(under.right() + 1, row.top()), row.bottomRight())})
        EXPECT_TRUE(shown.copy(side) == caption.copy(side));
    QApplication::setFont(previous);
}

TEST_F(FrmPrintCtrlTest, CommandStrings) {
    struct Case {
        const char* what;
        std::function<void(FrmPrintCtrl&)> set;
        QString command;
    };
    const std::vector<Case> cases = {
        {"standard chart", [](FrmPrintCtrl&) {}, "000%T"},
        {"site with details",
         [](FrmPrintCtrl& f) {
             f.Opt_PXStyle(1)->setChecked(true);
             f.Chk_Detail()->setChecked(true);
         },
         "011%T"},
        {"e-book without details", [](FrmPrintCtrl& f) { f.Opt_PXStyle(2)->setChecked(true); }, "020%T"},
        {"vertical register: the box switches to the book",
         [](FrmPrintCtrl& f) {
             f.Chk_FontStyle()->setChecked(true);
             f.Chk_FontStyle_Click();
         },
         "311%T"},
        {"document style",
         [](FrmPrintCtrl& f) {
             f.PrintStyle(0)->setChecked(true);
             f.PrintStyle_Click(0);
         },
         "300%T"},
    };
    for (const Case& c : cases) {
        auto form = Open();
        form->TxtRptName()->setText("  T ");
        c.set(*form);
        form->CmdOk_Click();
        EXPECT_EQ(App().FormParamString, c.command) << c.what;
        EXPECT_EQ(form->result(), QDialog::Accepted) << c.what;
    }
    // A chart format chosen after the book was chosen does not switch back.
    auto form = Open();
    form->ChkPageNo_Click();
    form->Opt_PXStyle(1)->click();
    form->CmdOk_Click();
    EXPECT_EQ(App().FormParamString.left(4), "310%");
    auto cancelled = Open();
    cancelled->CmdCancel_Click();
    EXPECT_EQ(App().FormParamString, "");
}

TEST_F(FrmPrintCtrlTest, ChartWidthsAreCheckedAndSurnameTaken) {
    struct Case {
        const char* nameLength;
        const char* perRow;
        const char* message;  // nullptr: accepted
    };
    for (const Case c :
         {Case{"1", "12", "名字字数最大=50，最小=2"}, Case{"51", "12", "名字字数最大=50，最小=2"},
          Case{"abc", "12", "名字字数最大=50，最小=2"}, Case{"99999", "12", "名字字数最大=50，最小=2"},
          Case{"3", "1", "世代数最大=20，最小=2"}, Case{"3", "21", "世代数最大=20，最小=2"},
          Case{"2", "20", nullptr}, Case{"50", "2.5", nullptr}, Case{" 4x", "3.5", nullptr}}) {
        auto form = Open();
        form->TxtNameLen()->setText(c.nameLength);
        form->TxtPerLineSdn()->setText(c.perRow);
        form->Txt姓字()->setText("2");
        if (c.message) ui_->ExpectMsgBox(vb::OK);
        const auto before = std::pair{App().PrintNameLength, App().PrintGenerationsPerRow};
        form->CmdOk_Click();
        if (c.message) {
            EXPECT_EQ(std::pair(App().PrintNameLength, App().PrintGenerationsPerRow),
                      before);  // refused: kept
            EXPECT_EQ(ui_->log().back().text, QString::fromUtf8(c.message)) << c.nameLength << c.perRow;
            EXPECT_EQ(ui_->log().back().style, vb::Critical);
            EXPECT_EQ(App().FormParamString, "");
            EXPECT_NE(form->result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(App().FormParamString, "000%张三世系图");
            EXPECT_EQ(App().SurnameLength, 2);
        }
    }
    // Halves go to even, and the last accepted values stay.
    EXPECT_EQ(App().PrintNameLength, 4);
    EXPECT_EQ(App().PrintGenerationsPerRow, 4);
}

TEST_F(FrmPrintCtrlTest, FooterFollowsThePageNumberSettingsAndIsReadBack) {
    struct Case {
        bool ticked;
        const char* alignment;
        QString footer;
        const char* shownAfter;
    };
    for (const Case& c :
         {Case{true, "靠右", "&b第 &p/&P 页", "靠右"}, Case{true, "居中", "&b第 &p/&P 页&b", "居中"},
          Case{true, "靠左", "第 &p/&P 页", "靠左"}, Case{true, "别处", "第 &p/&P 页", "靠左"},
          Case{false, "靠右", "", "靠左"}}) {
        auto form = Open();
        form->Opt(3)->setChecked(true);
        form->ChkPageNo()->setChecked(c.ticked);
        form->CmbPageNoAlignment()->setEditText(c.alignment);
        form->CmdOk_Click();
        EXPECT_EQ(page_setup::Value("footer"), c.footer) << c.alignment;
        EXPECT_EQ(page_setup::Value("header"), "");
        auto again = Open();
        EXPECT_EQ(again->CmbPageNoAlignment()->currentText(), c.shownAfter) << c.alignment;
        EXPECT_TRUE(again->ChkPageNo()->isChecked());
    }
    // The chart leaves the page set-up alone.
    page_setup::Store("footer", "&bx");
    auto chart = Open();
    chart->ChkPageNo()->setChecked(false);
    chart->CmdOk_Click();
    EXPECT_EQ(page_setup::Value("footer"), "&bx");
}

TEST(PageSetupFooter, CodesExpandIntoThreeParts) {
    struct Case {
        QString codes;
        QString left, centre, right;
    };
    for (const Case& c :
         {Case{"第 &p/&P 页", "第 3/7 页", "", ""}, Case{"&b第 &p/&P 页", "", "", "第 3/7 页"},
          Case{"&b第 &p/&P 页&b", "", "第 3/7 页", ""}, Case{"a&&p&bb&bc&bd", "a&p", "b", "cd"}}) {
        const page_setup::Line line = page_setup::Expand(c.codes, 3, 7);
        EXPECT_EQ(line.left, c.left) << c.codes.toStdString();
        EXPECT_EQ(line.centre, c.centre) << c.codes.toStdString();
        EXPECT_EQ(line.right, c.right) << c.codes.toStdString();
    }
}

}  // namespace
