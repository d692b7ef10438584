#include <gtest/gtest.h>

#include <QBuffer>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QScreen>
#include <QTemporaryDir>

#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "mainwin/forms/pdf_print_preview.h"
#include "print/page_setup.h"
#include "support/scripted_ui.h"

namespace {

// A PDF of the layout's paper whose pages say the given words, as the engine would print them.
QByteArray Pages(const QPageLayout& layout, const QStringList& words) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(layout);
    QPainter painter(&writer);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) writer.newPage();
        painter.drawText(QPointF(100, 300), words[i]);
    }
    painter.end();
    return pdf;
}

class PdfPrintPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ui_ = InstallScriptedInteraction(&previous_);
        page_setup::Store("header", "");
        page_setup::Store("footer", "&b&p/&P&b");
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
    }
    // The document in two parts, the second opening with a page of its own; every layout asked for
    // is noted.
    PdfSource Source() {
        return [this](const QPageLayout& layout) -> std::optional<std::vector<pdf_book::Part>> {
            asked_.push_back(layout.pageSize().id());
            if (refuse_) return std::nullopt;
            // Larger paper holds the whole document on one page.
            if (layout.pageSize().id() == QPageSize::A3)
                return std::vector<pdf_book::Part>{{Pages(layout, {"Alpha Beta Gamma Delta"}), 0}};
            return std::vector<pdf_book::Part>{{Pages(layout, {"Alpha", "Beta"}), 0},
                                               {Pages(layout, {"Lead", "Gamma", "Delta"}), 1}};
        };
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::vector<QPageSize::PageSizeId> asked_;
    bool refuse_ = false;
};

TEST_F(PdfPrintPreviewTest, TheWindowFitsTheScreenAndAllPagesGoToAFileAsShown) {
    PdfPrintPreview preview(nullptr, Source());
    const QRect available = preview.screen()->availableGeometry();
    EXPECT_TRUE(available.contains(preview.geometry().marginsAdded(kUsualWindowFrame)));
    EXPECT_EQ(preview.height(), std::min(1000, available.height() - 48));

    preview.Printer().setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(preview.Prepare());
    QTemporaryDir dir;
    const QString file = dir.filePath("book.pdf");
    ui_->ExpectPrintPages(std::make_pair(1, 4), [&](QPagedPaintDevice& device) {
        auto& printer = dynamic_cast<QPrinter&>(device);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    });
    preview.CmdPrint_Click();
    EXPECT_EQ(asked_, std::vector{QPageSize::A4});
    QPdfDocument printed;
    ASSERT_EQ(printed.load(file), QPdfDocument::Error::None);
    ASSERT_EQ(printed.pageCount(), 4);
    for (int page = 0; page < 4; ++page)
        EXPECT_TRUE(printed.getAllText(page).text().contains(QStringLiteral("%1/4").arg(page + 1)));
}

TEST_F(PdfPrintPreviewTest, ShowsEveryPageAndPrintsTheChosenOnesToAFile) {
    PdfPrintPreview preview(nullptr, Source());
    preview.Printer().setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(preview.Prepare());
    EXPECT_EQ(preview.PageCount(), 4);
    EXPECT_EQ(preview.findChild<QLabel*>("LblPages")->text(), "共 4 页");

    QTemporaryDir dir;
    const QString file = dir.filePath("book.pdf");
    ui_->ExpectPrintPages(std::nullopt);  // cancelled: nothing
    preview.CmdPrint_Click();
    EXPECT_FALSE(QFile::exists(file));

    // The paper changed in the print dialog: the pages are made afresh for it.
    ui_->ExpectPrintPages(std::make_pair(2, 3), [&](QPagedPaintDevice& device) {
        auto& printer = dynamic_cast<QPrinter&>(device);
        printer.setPageSize(QPageSize(QPageSize::A5));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    });
    preview.CmdPrint_Click();
    EXPECT_EQ(asked_, (std::vector{QPageSize::A4, QPageSize::A5}));
    EXPECT_EQ(preview.result(), QDialog::Accepted);
    QPdfDocument printed;
    ASSERT_EQ(printed.load(file), QPdfDocument::Error::None);
    ASSERT_EQ(printed.pageCount(), 2);
    EXPECT_TRUE(printed.getAllText(0).text().contains("Beta"));
    EXPECT_TRUE(printed.getAllText(0).text().contains("2/4"));
    EXPECT_TRUE(printed.getAllText(1).text().contains("Gamma"));
    EXPECT_TRUE(printed.getAllText(1).text().contains("3/4"));
    EXPECT_EQ(printed.pagePointSize(0).toSize(), QPageSize(QPageSize::A5).sizePoints());
}

TEST_F(PdfPrintPreviewTest, PagesBeyondTheBookLaidOutAfreshAreRefusedAndNothingIsWritten) {
    PdfPrintPreview preview(nullptr, Source());
    preview.Printer().setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(preview.Prepare());
    QTemporaryDir dir;
    const QString file = dir.filePath("book.pdf");
    ui_->ExpectPrintPages(std::make_pair(3, 4), [&](QPagedPaintDevice& device) {
        auto& printer = dynamic_cast<QPrinter&>(device);
        printer.setPageSize(QPageSize(QPageSize::A3));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    });
    ui_->ExpectMsgBox(vb::OK);
    preview.CmdPrint_Click();
    EXPECT_EQ(ui_->log().back().text, "所选的页不在打印页中：共 1 页。");
    EXPECT_EQ(preview.PageCount(), 1);
    EXPECT_NE(preview.result(), QDialog::Accepted);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(PdfPrintPreviewTest, NothingOpensWhenThePagesAreNotMade) {
    refuse_ = true;
    PdfPrintPreview preview(nullptr, Source());
    EXPECT_FALSE(preview.Prepare());
    EXPECT_EQ(preview.PageCount(), 0);
}

}  // namespace
