#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>

// qpdf's old smart pointer is not used here.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

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
            EXPECT_TRUE(texts[i].contains(QStringLiteral("第 %1/4 页").arg(c.first + i)))
                << texts[i].toStdString();
            EXPECT_FALSE(texts[i].contains("Lead"));
        }
        EXPECT_EQ(told.size(), c.pages.size());
    }
}

// Each font of a PDF file: its name, and the size of the font program embedded with it (0 for none).
std::vector<std::pair<std::string, size_t>> Fonts(const QString& path) {
    QPDF pdf;
    pdf.processFile(path.toLocal8Bit().constData());
    std::vector<std::pair<std::string, size_t>> fonts;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (!object.isDictionary() || !object.getKey("/Type").isNameAndEquals("/Font") ||
            object.getKey("/Subtype").isNameAndEquals("/Type0"))
            continue;
        QPDFObjectHandle file = object.getKey("/FontDescriptor").getKey("/FontFile2");
        fonts.emplace_back(object.getKey("/BaseFont").getName(),
                           file.isStream() ? file.getStreamData(qpdf_dl_generalized)->getSize() : 0);
    }
    return fonts;
}

TEST(PdfBook, TheTextReadsAsPrintedAndTheFooterFontIsASubset) {
    // Qt's writer reads 十 and 页 back from the font as the radicals ⼗ and ⻚, as the engine does.
    const std::vector<pdf_book::Part> parts = {{Pages({"Alpha 十页", "Beta 页十"}), 0}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.pdf"));
    const QByteArray footer =
        pdf_book::HeaderFooterPages(kA4, QStringLiteral("页眉"), QStringLiteral("&b第 &p/&P 页&b"), 1, 2, 2);
    QString error;
    ASSERT_TRUE(pdf_book::WriteDocument(parts, 1, 2, footer, path, {}, &error)) << error.toStdString();
    const QStringList texts = Texts(path);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Alpha 十页"))) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].contains(QStringLiteral("Beta 页十"))) << texts[1].toStdString();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(texts[i].contains(QStringLiteral("第 %1/2 页").arg(i + 1))) << texts[i].toStdString();
        EXPECT_TRUE(texts[i].contains(QStringLiteral("页眉"))) << texts[i].toStdString();
        for (QChar c : texts[i])
            EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF) << texts[i].toStdString();
    }
    // Every embedded font is a subset: named with its tag, a few kilobytes where the face has megabytes.
    const auto fonts = Fonts(path);
    ASSERT_FALSE(fonts.empty());
    for (const auto& [name, bytes] : fonts) {
        EXPECT_TRUE(name.size() > 8 && name[7] == '+') << name;
        EXPECT_LT(bytes, 64u * 1024) << name;
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
