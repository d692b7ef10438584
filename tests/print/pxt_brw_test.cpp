#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "print/forms/chart_picture.h"
#include "print/forms/pxt_brw.h"
#include "print/golden.h"
#include "print/print_zp.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

namespace {

class ChartBrowser : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        script_ = InstallScriptedInteraction(&previous_);
        OpenDataDb(DataDbPath(), BookDbPassword());
        PresetChartPreview();
    }
    void TearDown() override {
        form_.reset();
        SetInteraction(std::move(previous_));
        BookFixture::TearDown();
    }

    // The chart table as the generator leaves it: the title, 80 set-up rows, then the lines.
    static void WriteChart(const QString& title, const QStringList& lines) {
        dao::Database& db = App().DataDb;
        db.Execute("DELETE FROM \"skrslt\"");
        db.Execute("INSERT INTO \"skrslt\" (\"code\") VALUES (?)", {title});
        for (int i = 0; i < 80; ++i) db.Execute("INSERT INTO \"skrslt\" DEFAULT VALUES");
        for (const QString& line : lines)
            db.Execute("INSERT INTO \"skrslt\" (\"code\") VALUES (?)", {line.isEmpty() ? QVariant() : line});
    }
    static QStringList Names(int count) {
        QStringList lines;
        for (int i = 0; i < count; ++i) lines << QString("  王%1").arg(i);
        return lines;
    }
    Pxt_Brw& Open() {
        form_ = std::make_unique<Pxt_Brw>();
        form_->show();
        return *form_;
    }
    template <typename T>
    T* Find(const char* name) const {
        return form_->findChild<T*>(name);
    }
    void SetBox(const char* name, const QString& text) {
        auto* box = Find<QLineEdit>(name);
        box->setText(text);
        if (QString(name) == "PageText")
            form_->PageText_LostFocus();
        else
            form_->PageLines_LostFocus();
    }
    bool KeyEnabled(const char* key) const { return Find<QAction>(key)->isEnabled(); }

    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::unique_ptr<Pxt_Brw> form_;
};

TEST_F(ChartBrowser, OpensWithThePresets) {
    WriteChart("T", Names(10));
    Pxt_Brw& form = Open();
    EXPECT_EQ(Find<QComboBox>("PaperText")->currentText(), "A4 210 X 297 毫米(正放)");
    EXPECT_EQ(Find<QComboBox>("ZoomText")->currentText(), "100%");
    EXPECT_EQ(Find<QComboBox>("PaperText")->itemText(3), "A4 297 X 210 毫米(横放)");
    EXPECT_EQ(Find<QComboBox>("PaperText")->itemText(7), "A4 297 X 210 毫米(横向)");
    EXPECT_EQ(Find<QComboBox>("ZoomText")->itemText(5), " 90%");
    EXPECT_DOUBLE_EQ(form.base().pageWidth, 11904);
    EXPECT_DOUBLE_EQ(form.base().pageHeight, 16832);
    EXPECT_EQ(App().PreviewOffsetRow, 2);
    EXPECT_EQ(App().PreviewOffsetCol, 2);
    EXPECT_EQ(App().PreviewFontSize, 20.0f);  // until a zoom level is picked
    EXPECT_FALSE(form.InPreviewMode());
    EXPECT_EQ(Find<QLineEdit>("PageText")->text(), "1");
    EXPECT_FALSE(KeyEnabled("firstpage") || KeyEnabled("nextpage"));  // one page

    form.ZoomText_Click(4);
    EXPECT_EQ(App().PreviewFontSize, 16.0f);
    EXPECT_EQ(App().PreviewSmallFontSize, 9.0f);
    form.ZoomText_Click(0);  // view mode: the page grows, the lines per page stay
    EXPECT_DOUBLE_EQ(form.picture()->WidthTwips(), 11904 * 1.5);
    EXPECT_EQ(Find<QLineEdit>("PageLines")->text(), QString::number(form.AcceptedLines()));
    form.PaperText_Click(7);
    EXPECT_EQ(App().PreviewPaperKind, 7);
    EXPECT_DOUBLE_EQ(form.base().pageWidth, 16832);
}

TEST_F(ChartBrowser, PageAndLineBoxesTakeOnlyWhatFits) {
    WriteChart("T", Names(45));
    Pxt_Brw& form = Open();
    SetBox("PageLines", "40");
    EXPECT_EQ(form.PageCount(), 2);
    EXPECT_EQ(Find<QLineEdit>("AllPageText")->text(), "2");
    EXPECT_TRUE(KeyEnabled("nextpage") && !KeyEnabled("prepage"));

    const struct {
        const char* box;
        const char* typed;
        const char* shown;
    } cases[] = {{"PageLines", "102", "40"}, {"PageLines", "0", "40"}, {"PageLines", "abc", "40"},
                 {"PageText", "0", "1"},     {"PageText", "-1", "1"},  {"PageText", "x", "1"},
                 {"PageText", "3", "1"},     {"PageText", "2", "2"},   {"PageText", "2", "2"},
                 {"PageLines", "101", "101"}};
    for (const auto& c : cases) {
        SetBox(c.box, c.typed);
        EXPECT_EQ(Find<QLineEdit>(c.box)->text(), c.shown) << c.box << " " << c.typed;
    }
    EXPECT_EQ(form.PageCount(), 1);
    EXPECT_EQ(form.AcceptedPage(), 1);  // page 2 no longer exists: the drawing showed page 1
    form.Toolbar1_ButtonClick("firstpage");
    EXPECT_EQ(form.AcceptedPage(), 1);

    WriteChart("T", {});  // only the set-up rows: no pages at all
    form_.reset();
    Open();
    SetBox("PageLines", "7");
    EXPECT_EQ(form_->PageCount(), 0);
}

TEST_F(ChartBrowser, PictureKeysMoveTheChartWithinBounds) {
    WriteChart("T", Names(3));
    Pxt_Brw& form = Open();
    const struct {
        int key;
        qint16 row, col;
        qint16 rowAfter, colAfter;
    } cases[] = {{Qt::Key_Right, 2, 0, 2, 0}, {Qt::Key_Left, 2, 30, 2, 30}, {Qt::Key_Left, 2, 5, 2, 6},
                 {Qt::Key_Up, 0, 2, 0, 2},    {Qt::Key_Down, 30, 2, 30, 2}, {Qt::Key_Down, 4, 2, 5, 2}};
    for (const auto& c : cases) {
        App().PreviewOffsetRow = c.row;
        App().PreviewOffsetCol = c.col;
        form.Picture1_KeyDown(c.key);
        EXPECT_EQ(App().PreviewOffsetRow, c.rowAfter) << c.key;
        EXPECT_EQ(App().PreviewOffsetCol, c.colAfter) << c.key;
    }
    // A release far right and low moves the chart no further than three quarters of the cells in.
    form.Picture1_MouseMove(App().PreviewCellWidth * 2.0, 5);
    form.Picture1_MouseUp(form.picture()->WidthTwips(), form.picture()->HeightTwips());
    EXPECT_EQ(App().PreviewOffsetCol, int(form.picture()->WidthTwips()) / App().PreviewCellWidth * 3 / 4 + 1);
    EXPECT_EQ(App().PreviewOffsetRow,
              int(form.picture()->HeightTwips()) / App().PreviewCellHeight * 3 / 4 + 1);
}

TEST_F(ChartBrowser, PrintsTheChosenPagesToPdfAndClosesEmptyingTheChart) {
    WriteChart("T", Names(50));
    Pxt_Brw& form = Open();
    SetBox("PageLines", "10");
    SetBox("PageText", "4");
    ASSERT_EQ(form.PageCount(), 5);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("chart.pdf");
    script_->ExpectPrintPages(std::make_pair(2, 3), [&](QPagedPaintDevice& device) {
        auto& printer = dynamic_cast<QPrinter&>(device);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    });
    form.Toolbar1_ButtonClick("b_print");
    EXPECT_EQ(script_->log().back().text, "5");
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(file.readAll()).count(QRegularExpression("/Type\\s*/Page\\b(?!s)")), 2);
    EXPECT_EQ(form.AcceptedPage(), 4);
    EXPECT_EQ(Find<QLineEdit>("PageText")->text(), "4");
    if (const QString out = qEnvironmentVariable("QENTARA_SCREENSHOT_DIR"); !out.isEmpty()) {
        QFile::remove(out + "/chart_pages.pdf");
        QFile::copy(pdf, out + "/chart_pages.pdf");
    }

    script_->ExpectPrintPages(std::nullopt);  // cancelled: nothing
    form.Toolbar1_ButtonClick("b_print");

    form.Toolbar1_ButtonClick("b_esc");
    EXPECT_EQ(App().DataDb.Scalar("SELECT count(*) FROM \"skrslt\"").toInt(), 0);
    EXPECT_TRUE(script_->AllConsumed());
}

// The page of a generated branch as the user sees it: each parent's line runs unbroken down its
// column of glyphs, and the rule from a parent reaches its child.
TEST_F(ChartBrowser, ScreenshotShowsTheGlyphsJoined) {
    for (const auto& [name, father] : std::vector<std::pair<QString, QString>>{{"王祖", ""},
                                                                               {"王甲", "王祖"},
                                                                               {"王乙", "王祖"},
                                                                               {"王丙", "王祖"},
                                                                               {"王丁", "王甲"},
                                                                               {"王戊", "王甲"}})
        App().DataDb.Execute("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)",
                             {name, father});
    script_->ExpectForm("FrmLittle", [](QObject*) {
        App().FormParamString = "1";
        return 1;
    });
    App().FormParamString = "王氏世系图";
    App().PrintNameLength = 3;
    App().PrintGenerationsPerRow = 4;
    ASSERT_TRUE(clsPrintZp().PrintPxt("王祖", false));
    Pxt_Brw& form = Open();
    const QImage shot = form.grab().toImage();
    if (const QString out = qEnvironmentVariable("QENTARA_SCREENSHOT_DIR"); !out.isEmpty())
        shot.save(out + "/chart_browser.png");

    const QImage& page = form.picture()->image();
    const auto blue = [&](int x, int y) {
        const QColor c = page.pixelColor(x, y);
        return c.blue() > 150 && c.red() < 120 && c.green() < 120;
    };
    // Column of ┳ ┃ ┣ ┗ right of "  王祖": two half cells, two cells, then the glyph cell.
    const double cell = App().PreviewCellWidth / ChartPicture::kTwipsPerPixel;
    const int glyphX = int((App().PreviewOffsetCol + 0.5 + 3 + 0.5) * cell);
    int longest = 0;
    for (int y = 0, run = 0; y < page.height(); ++y)
        longest = std::max(longest, run = blue(glyphX, y) ? run + 1 : 0);
    const double row = App().PreviewCellHeight / ChartPicture::kTwipsPerPixel;
    EXPECT_GE(longest, int(3 * row)) << "the parent's line breaks between rows";

    // Along the rule of the first line: from the glyph cell through the fill ("━王甲") to the name.
    int widest = 0;
    for (int y = 0; y < page.height(); ++y) {
        int run = 0, best = 0;
        for (int x = glyphX; x < page.width(); ++x) best = std::max(best, run = blue(x, y) ? run + 1 : 0);
        widest = std::max(widest, best);
    }
    EXPECT_GE(widest, int(1.4 * cell)) << "the rule breaks between cells";
}

}  // namespace
