#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "print/pdf_book.h"

namespace {

const QPageLayout kA4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 15, 10, 15),
                      QPageLayout::Millimeter);

// A PDF whose pages say the given words, as the engine would print them. (Qt's writer may lose digits
// and CJK characters from the text it records: the words avoid them.)
QByteArray Pages(const QStringList& words) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(kA4);
    QPainter painter(&writer);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Serif CJK SC")});
    font.setPointSize(20);
    painter.setFont(font);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) writer.newPage();
        painter.drawText(QPointF(100, 300), words[i]);
    }
    painter.end();
    return pdf;
}

QStringList Texts(const QString& path) {
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None) return {QStringLiteral("unreadable")};
    QStringList texts;
    for (int page = 0; page < document.pageCount(); ++page)
        texts << document.getAllText(page).text().simplified();
    return texts;
}

TEST(PdfBook, PartsJoinWithoutTheirLeadPagesAndCarryTheFooterAsText) {
    // The second part opens with a page that is not the document's.
    const std::vector<pdf_book::Part> parts = {{Pages({"Alpha", "Beta"}), 0},
                                               {Pages({"Lead", "Gamma", "Delta"}), 1}};
    ASSERT_EQ(pdf_book::PageCount(parts), 4);
    QTemporaryDir dir;
    struct Case {
        int first, last;
        QStringList pages;
    };
    for (const Case& c : {Case{1, 4, {"Alpha", "Beta", "Gamma", "Delta"}}, Case{2, 3, {"Beta", "Gamma"}}}) {
        const QString path = dir.filePath(QStringLiteral("book%1.pdf").arg(c.first));
        const QByteArray footer = pdf_book::HeaderFooterPages(
            kA4, QString(), QStringLiteral("&b第 &p/&P 页&b"), c.first, c.last, 4);
        QString error;
        QStringList told;
        ASSERT_TRUE(pdf_book::WriteDocument(
            parts, c.first, c.last, footer, path,
            [&](int page, int pages) {
                told << QStringLiteral("%1/%2").arg(page).arg(pages);
                return true;
            },
            &error))
            << error.toStdString();
        const QStringList texts = Texts(path);
        ASSERT_EQ(texts.size(), c.pages.size());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            EXPECT_TRUE(texts[i].contains(c.pages[i])) << texts[i].toStdString();
            // The footer's last character may be read back as a radical.
            EXPECT_TRUE(texts[i].contains(QStringLiteral("第 %1/4").arg(c.first + i)))
                << texts[i].toStdString();
            EXPECT_FALSE(texts[i].contains("Lead"));
        }
        EXPECT_EQ(told.size(), c.pages.size());
    }
}

TEST(PdfBook, StoppedOrUnreadableWritesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.pdf"));
    const std::vector<pdf_book::Part> parts = {{Pages({"Alpha", "Beta"}), 0}};
    const QByteArray footer = pdf_book::HeaderFooterPages(kA4, QString(), QStringLiteral("&p"), 1, 2, 2);
    QString error;
    EXPECT_FALSE(pdf_book::WriteDocument(
        parts, 1, 2, footer, path, [](int, int) { return false; }, &error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(QFile::exists(path));

    const std::vector<pdf_book::Part> broken = {{QByteArray("%PDF-1.4 not really"), 0}};
    EXPECT_EQ(pdf_book::PageCount(broken), -1);
    EXPECT_FALSE(pdf_book::WriteDocument(broken, 1, 1, QByteArray(), path, {}, &error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
