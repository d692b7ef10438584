#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "print/chart_html_export.h"
#include "print/chart_renderer.h"
#include "print/golden.h"
#include "print/painter_chart_canvas.h"
#include "print/recording_canvas.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

namespace {

class ChartRendering : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        App().PrintGenerationsPerRow = 2;
    }
    void TearDown() override { ResetAppState(); }

    static ChartText Chart(const QStringList& lines, const QString& title = "T") { return {title, lines}; }
    // Draws page and returns the rows drawn below the title.
    static QStringList Page(const ChartText& chart, int page, int linesPerPage, int* drawn = nullptr) {
        RecordingCanvas canvas;
        const int result = ChartRenderer(chart).DrawChartPage(canvas, false, nullptr, page, linesPerPage);
        if (drawn) *drawn = result;
        QStringList rows = canvas.Rows();
        if (!rows.isEmpty() && rows.first().startsWith("K ")) rows.removeFirst();
        return rows;
    }
};

TEST_F(ChartRendering, PaginationAndPageKeys) {
    QStringList lines;
    for (int i = 0; i < 45; ++i) lines << QString("甲%1").arg(i);
    const ChartRenderer renderer(Chart(lines));
    EXPECT_EQ(renderer.PageCount(40), 2);
    EXPECT_EQ(ChartRenderer(Chart(lines.mid(0, 40))).PageCount(40), 1);
    EXPECT_EQ(ChartRenderer(Chart({})).PageCount(7), 0);

    EXPECT_EQ(ChartRenderer::LinesPerPage(46), 40);  // the main window's presets leave six rows
    EXPECT_EQ(ChartRenderer::LinesPerPage(3), 1);    // never fewer than one line
    App().PreviewParamA = 3;
    EXPECT_EQ(ChartRenderer::LinesPerPage(46), 38);
    EXPECT_EQ(ChartRenderer::RowsOnPage(16832, 255), 60);  // (16832 - 1472) \ 255
    EXPECT_EQ(ChartRenderer::RowsOnPage(16832, 0), 0);

    const struct {
        int page, count;
        ChartPageKeys keys;
    } cases[] = {{1, 1, {false, false, false, false}},
                 {1, 0, {false, false, false, false}},
                 {1, 3, {false, false, true, true}},
                 {2, 3, {true, true, true, true}},
                 {3, 3, {true, true, false, false}}};
    for (const auto& c : cases)
        EXPECT_EQ(ChartRenderer::PageKeys(c.page, c.count), c.keys) << c.page << "/" << c.count;
}

TEST_F(ChartRendering, CellsTitleAndRows) {
    RecordingCanvas canvas;
    const ChartText chart = Chart({"", "1世  2世", "", "A张"}, "甲世系图");
    EXPECT_EQ(ChartRenderer(chart).DrawChartPage(canvas, false, nullptr, 1, 40), 1);
    EXPECT_EQ(canvas.clears, 1);
    // The cell: "国" at 9 points (180 by 225) with its padding.
    EXPECT_EQ(App().PreviewCellWidth, 192);
    EXPECT_EQ(App().PreviewCellHeight, 255);

    ASSERT_GE(canvas.texts.size(), 7u);
    const RecordingCanvas::Text& title = canvas.texts[0];
    EXPECT_EQ(title.text, "甲世系图");
    EXPECT_TRUE(title.bold);
    // Centred over the header line (2 double-byte, 4 single-byte characters at the bare cell):
    // (2 * 180 + 4 * 90) / 2 - (4 * 400) / 2 + 180 < 0 gives 0; left margin 2 cells of 180.
    EXPECT_DOUBLE_EQ(title.x, 360);
    EXPECT_DOUBLE_EQ(title.y, 225 * 2 + 60);

    // "A张" in the first row below the two title rows (row 4 + 3 chart lines = row 7; the empty first
    // line draws nothing): the letter takes half a cell, the Chinese character a whole one.
    const auto& a = canvas.texts[canvas.texts.size() - 2];
    const auto& zhang = canvas.texts.back();
    EXPECT_EQ(a.text, "A");
    EXPECT_DOUBLE_EQ(a.x, 192 * 2.5);
    EXPECT_DOUBLE_EQ(zhang.x, 192 * 2.5 + 96);
    EXPECT_DOUBLE_EQ(a.y, 8 * 255 - 127.5);
    EXPECT_EQ(a.color, QColor(0, 0, 255));
    EXPECT_EQ(canvas.Rows(), QStringList({"K 甲世系图", "R 1世2世", "B A张"}));
}

TEST_F(ChartRendering, HeadersNeverEndAPageAndRepeatOnTheNext) {
    const QString h = "1世  2世";
    // Header at the last line of page 1 (5 lines a page): page 2 opens with it, then the empty row.
    const ChartText last = Chart({"a1", "a2", "a3", "", h, "", "b1", "b2", "b3", "b4", "b5"});
    EXPECT_EQ(Page(last, 1, 5), QStringList({"B a1", "B a2", "B a3"}));
    EXPECT_EQ(Page(last, 2, 5), QStringList({"R 1世2世", "B b1", "B b2", "B b3", "B b4"}));
    // Header at the last line but one: the empty row after it goes with it.
    const ChartText nextToLast = Chart({"a1", "a2", "a3", h, "", "c1", "c2"});
    EXPECT_EQ(Page(nextToLast, 1, 5), QStringList({"B a1", "B a2", "B a3"}));
    EXPECT_EQ(Page(nextToLast, 2, 5), QStringList({"R 1世2世", "B c1", "B c2"}));
    // A page that starts with a header shows it once; one that starts at a section's empty row repeats
    // nothing of the section before.
    const ChartText opening = Chart({"", h, "", "d1", "d2", h, "", "e1"});
    EXPECT_EQ(Page(opening, 2, 5), QStringList({"R 1世2世", "B e1"}));
    const ChartText gap = Chart({h, "", "f1", "f2", "f3", "", h, "", "g1"});
    EXPECT_EQ(Page(gap, 2, 5), QStringList({"R 1世2世", "B g1"}));

    int drawn = 0;
    EXPECT_EQ(Page(last, 9, 5, &drawn), Page(last, 1, 5));
    EXPECT_EQ(drawn, 1);
    // No reference line, no lines at all: nothing breaks.
    EXPECT_EQ(Page(Chart({"x"}), 1, 5), QStringList({"B x"}));
    EXPECT_EQ(Page(Chart({}), 1, 5), QStringList());
}

// The columns of an image that hold ink, first and last; {-1, -1} for none.
std::pair<int, int> InkColumns(const QImage& image) {
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 160) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

TEST_F(ChartRendering, LatinCharactersStayInTheirHalfCellsOnThePicture) {
    // A picture of 300 dots an inch, the chart face at 9 points, the cell measured as the browser does.
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(11811);
    probe.setDotsPerMeterY(11811);
    PainterChartCanvas measure(probe, nullptr);
    measure.SetFont("宋体", 9, false);
    App().PreviewCellWidth = qint16(std::lround(measure.TextWidth("国")) + 12);
    App().PreviewCellHeight = qint16(std::lround(measure.TextHeight("国")) + 30);
    App().PreviewOffsetCol = 0;
    const double half = App().PreviewCellWidth / 2.0;
    const double pixelsPerTwip = 300.0 / 1440.0;

    // "C15001" read "Cl5001" when the serif C ran into the 1 beside it.
    const QString name = "C15001WM";
    for (qsizetype i = 0; i < name.size(); ++i) {
        QImage picture(1200, 200, QImage::Format_RGB32);
        picture.setDotsPerMeterX(11811);
        picture.setDotsPerMeterY(11811);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        PainterChartCanvas canvas(picture, &painter);
        canvas.SetFont("宋体", 9, false);
        canvas.SetForeColor(Qt::black);
        // The character at its place in the name; the spaces before it draw nothing.
        ChartRenderer::DrawCellText(canvas, QString(i, u' ') + name[i], 1);
        painter.end();
        const auto [first, last] = InkColumns(picture);
        ASSERT_GE(first, 0) << "nothing drawn for " << name[i].toLatin1();
        const double left = (half + half * double(i)) * pixelsPerTwip;
        EXPECT_GE(first, std::floor(left)) << name[i].toLatin1();
        EXPECT_LE(last, std::ceil(left + half * pixelsPerTwip)) << name[i].toLatin1();
    }
}

TEST_F(ChartRendering, GuideLines) {
    App().PreviewCellWidth = 200;
    App().PreviewCellHeight = 300;
    RecordingCanvas canvas(10000, 8000);
    ChartRenderer::DrawGuideLines(canvas, Qt::white);
    ASSERT_EQ(canvas.lines.size(), 3u);
    EXPECT_EQ(canvas.lines[0].x1, 400);
    EXPECT_EQ(canvas.lines[1].y1, 600);
    EXPECT_EQ(canvas.lines[2].y1, 8000 - 1472);
    EXPECT_EQ(canvas.lines[2].style, ChartCanvas::LineStyle::DashDotDot);
    EXPECT_EQ(canvas.lines[2].color, QColor(Qt::white));
}

class ChartExport : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        script_ = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        SetInteraction(std::move(previous_));
        BookFixture::TearDown();
    }
    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

TEST_F(ChartExport, FileLinesAndNames) {
    App().PrintGenerationsPerRow = 2;
    const ChartText chart{" 王<氏>&世系图 ",
                          {QString(), " 1世   2世  ", QString(), "  王甲┳━王乙  ", "      ┗ A'B   "}};
    script_->ExpectMsgBox(vb::OK);
    const QString path = ExportChartHtml(chart);
    EXPECT_EQ(path, book_.file("王_氏_&世系图.htm"));
    EXPECT_EQ(script_->log().back().text, "已转换成Html文件：" + path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ExpectGolden("chart_export.htm", file.readAll());

    const struct {
        QString title, name;
    } names[] = {{"", "tmpExcel.htm"},
                 {"..", "tmpExcel.htm"},
                 {"a/../b\\c", "a_.._b_c.htm"},
                 {QString(300, u'长'), QString(83, u'长') + ".htm"}};
    for (const auto& n : names) EXPECT_EQ(ChartFileName(n.title, "tmpExcel", ".htm"), n.name);
}

}  // namespace
