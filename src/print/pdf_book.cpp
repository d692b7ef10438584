#include "print/pdf_book.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <memory>
#include <optional>

// qpdf's old smart pointer is not used here.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "print/page_setup.h"
#include "print/pdf_text_map.h"
#include "store/page_file.h"

namespace pdf_book {

namespace {

// A PDF read from memory; the bytes must outlive it.
std::unique_ptr<QPDF> Read(const QByteArray& pdf, const char* what) {
    auto document = std::make_unique<QPDF>();
    document->setSuppressWarnings(true);
    document->processMemoryFile(what, pdf.constData(), size_t(pdf.size()));
    return document;
}

std::vector<QPDFPageObjectHelper> Pages(QPDF& document) {
    return QPDFPageDocumentHelper(document).getAllPages();
}

// Lays the overlay page over the page, its own drawing kept apart from the page's graphics state.
void LayOver(QPDF& target, QPDFPageObjectHelper& page, QPDFPageObjectHelper& overlay) {
    QPDFObjectHandle form = target.copyForeignObject(overlay.getFormXObjectForPage());
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
    }
    QPDFObjectHandle forms = resources.getKey("/XObject");
    forms = forms.isDictionary() ? forms.shallowCopy() : QPDFObjectHandle::newDictionary();
    int suffix = 0;
    const std::string name = resources.getUniqueResourceName("/Fx", suffix);
    forms.replaceKey(name, form);
    resources.replaceKey("/XObject", forms);
    const std::string placing = page.placeFormXObject(form, name, page.getTrimBox().getArrayAsRectangle());
    page.addPageContents(QPDFObjectHandle::newStream(&target, "q\n"), true);
    page.addPageContents(QPDFObjectHandle::newStream(&target, "\nQ\n" + placing), false);
}

// A subset's name begins with six capitals and "+" (its tag).
bool SubsetName(const std::string& name) {
    if (name.size() < 8 || name[7] != '+') return false;
    return std::all_of(name.begin() + 1, name.begin() + 7, [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Qt embeds a subset of the font but names the font without the subset's tag, so that it reads as the
// whole font embedded: both font dictionaries take the name the font's descriptor gives the subset.
void NameAsSubset(QPDFObjectHandle font) {
    QPDFObjectHandle described = font;
    if (font.getKey("/Subtype").isNameAndEquals("/Type0")) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (!descendants.isArray() || descendants.getArrayNItems() < 1) return;
        described = descendants.getArrayItem(0);
    }
    if (!described.isDictionary()) return;
    QPDFObjectHandle name = described.getKey("/FontDescriptor").getKey("/FontName");
    if (!name.isName() || !SubsetName(name.getName()) ||
        font.getKey("/BaseFont").isNameAndEquals(name.getName()))
        return;
    font.replaceKey("/BaseFont", name);
    if (described.getObjGen() != font.getObjGen()) described.replaceKey("/BaseFont", name);
}

// Every font of the document: the text of its glyphs read as it was printed (pdf_text_map), a subset
// named as one.
void MendFonts(QPDF& document) {
    for (QPDFObjectHandle object : document.getAllObjects()) {
        if (!object.isDictionary() || !object.getKey("/Type").isNameAndEquals("/Font")) continue;
        QPDFObjectHandle toUnicode = object.getKey("/ToUnicode");
        if (toUnicode.isStream()) {
            try {
                const std::shared_ptr<Buffer> data = toUnicode.getStreamData(qpdf_dl_generalized);
                const std::optional<QByteArray> mended = pdf_text_map::Mended(
                    QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize())));
                if (mended)
                    toUnicode.replaceStreamData(mended->toStdString(), QPDFObjectHandle::newNull(),
                                                QPDFObjectHandle::newNull());
            } catch (const std::exception&) {
                // A map that cannot be read stays as it is: the pages print the same.
            }
        }
        NameAsSubset(object);
    }
}

}  // namespace

int PageCount(const QByteArray& pdf) {
    try {
        std::unique_ptr<QPDF> document = Read(pdf, "part");
        return int(Pages(*document).size());
    } catch (const std::exception&) {
        return -1;
    }
}

int PageCount(const std::vector<Part>& parts) {
    int pages = 0;
    for (const Part& part : parts) {
        const int count = PageCount(part.pdf);
        if (count < 0) return -1;
        pages += std::max(0, count - part.firstPage);
    }
    return pages;
}

QByteArray HeaderFooterPages(const QPageLayout& layout, const QString& header, const QString& footer,
                             int first, int last, int pageCount) {
    QByteArray pdf;
    // Room for every page at once: grown a piece at a time, the buffer would be copied over and over.
    pdf.reserve(qsizetype(std::max(0, last - first + 1)) * 2048 + (1 << 20));
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setPageLayout(
        QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(), QPageLayout::Millimeter));
    QPainter painter(&writer);
    for (int page = first; page <= last; ++page) {
        if (page > first) writer.newPage();
        page_setup::DrawHeaderFooter(painter, painter.viewport(), layout, header, footer, page, pageCount);
    }
    painter.end();
    return pdf;
}

bool WriteDocument(const std::vector<Part>& parts, int first, int last, const QByteArray& overlay,
                   const QString& path, const PageReport& report, QString* error) {
    error->clear();
    try {
        QPDF out;
        out.setSuppressWarnings(true);
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        std::vector<std::unique_ptr<QPDF>> sources;
        int page = 0;
        const int pages = last - first + 1;
        for (const Part& part : parts) {
            sources.push_back(Read(part.pdf, "part"));
            std::vector<QPDFPageObjectHelper> partPages = Pages(*sources.back());
            for (size_t i = size_t(std::max(0, part.firstPage)); i < partPages.size(); ++i) {
                ++page;
                if (page < first || page > last) continue;
                outPages.addPage(partPages[i], false);
            }
        }
        // Copied pages and forms read their data from their own document when written: every source
        // stays until then.
        std::unique_ptr<QPDF> decoration;
        if (!overlay.isEmpty()) {
            decoration = Read(overlay, "header and footer");
            std::vector<QPDFPageObjectHelper> over = Pages(*decoration);
            std::vector<QPDFPageObjectHelper> written = outPages.getAllPages();
            for (size_t i = 0; i < written.size() && i < over.size(); ++i) {
                LayOver(out, written[i], over[i]);
                if (report && !report(int(i) + 1, pages)) return false;
            }
        }
        MendFonts(out);
        QPDFWriter writer(out);
        writer.setOutputMemory();
        writer.write();
        const std::shared_ptr<Buffer> bytes = writer.getBufferSharedPointer();
        WriteWholeFile(
            path, QByteArray(reinterpret_cast<const char*>(bytes->getBuffer()), qsizetype(bytes->getSize())));
        return true;
    } catch (const std::exception& e) {
        // The file's own failures (VbError) say what they are in UTF-8, as qpdf's do.
        *error = QString::fromUtf8(e.what());
    }
    return false;
}

}  // namespace pdf_book
