#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class Cls数据操作;

// The printing and publishing driver of a branch: the pedigree chart (print_zp_chart.cpp), the book
// (print_zp_book.cpp) and the linked HTML site (print_zp_site.cpp).
class clsPrintZp {
public:
    clsPrintZp();
    ~clsPrintZp();

    // Builds the chart of `rootName` and its descendants into the chart table "skrslt": the title (taken
    // from App().FormParamString), the 80 set-up rows, then one block per section of
    // PrintGenerationsPerRow generations. Asks for the starting generation first (FrmLittle, mode 6);
    // numbers only this branch, flagged with App().SelectedNodeIndex, so the rest of the book keeps its
    // generation numbers. The branch is read once and each section cut from it in memory; the chart
    // rows are written as they are made. With links the cells show member numbers.
    // False when the user cancelled or a database error was reported; the chart table is then left as
    // it was.
    bool PrintPxt(const QString& rootName, bool withLinks);

    // ---- The book, written to BookFile() in GB18030: the member `startName` and its descendants,
    // breadth-first, each parent's children in their sibling order. Vertical 1 lays the page out in
    // vertical text. A loop in the father links ends the walk. The book's generation numbers are not
    // touched.
    // The biography register: a generation heading before each generation and a block of labelled
    // particulars per member. Asks for the starting generation first (FrmLittle, mode 6); false, with
    // nothing written, when the prompt was cancelled or the book could not be read or written (told).
    bool 传记谱(const QString& startName, quint8 vertical);
    // The document style: the members' stored pages joined. False when told of an error.
    bool 打印文档(const QString& startName, quint8 vertical);
    static QString BookFile();
    // The files to print the book last written by this object from, in order: BookFile() itself, or
    // for a long book its parts, each after the first opening with one page that is not the book's
    // (BookOutput). Empty when none was written.
    const QStringList& BookParts() const { return parts_; }

    // ---- The linked HTML site in chm/ (print_zp_site.cpp), from the chart table as PrintPxt left it with
    // links: the chart page (named after its title, "tmpExcel.htm" without one) in which every name
    // links to the member's page z<filial_id>.htm (sp.htm for a member without a page), the member pages
    // and their pictures. The site's earlier pages and pictures go first; an e-book stays. Tells the
    // user where the chart page went; answers its path, "" when told of an error.
    QString Lfn_to_html2(bool showDetails);

    // The text before the first "[" (the whole text when there is none).
    static QString CutAtBracket(const QString& text);

private:
    Cls数据操作& Ops();
    std::unique_ptr<Cls数据操作> ops_;
    QStringList parts_;
};

// The preview state the print command sets before it shows the chart browser.
void PresetChartPreview();
