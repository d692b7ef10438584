#pragma once

#include <QString>
#include <memory>

class Cls数据操作;

// The printing and publishing driver of a branch: the pedigree chart (print_zp_chart.cpp); the book
// printer and the HTML site join it in files of their own.
class clsPrintZp {
public:
    clsPrintZp();
    ~clsPrintZp();

    // Builds the chart of `rootName` and its descendants into the chart table "skrslt": the title (taken
    // from App().FormParamString), the 80 set-up rows, then one block per section of
    // PrintGenerationsPerRow generations. Asks for the starting generation first (FrmLittle, mode 6);
    // numbers only this branch, flagged with App().SelectedNodeIndex, so the rest of the book keeps its
    // generation numbers. The sections' work trees are held in memory. With links the cells show member
    // numbers.
    // False when the user cancelled or a database error was reported; the chart table is then left as
    // it was.
    bool PrintPxt(const QString& rootName, bool withLinks);

    // The text before the first "[" (the whole text when there is none).
    static QString CutAtBracket(const QString& text);

private:
    Cls数据操作& Ops();
    std::unique_ptr<Cls数据操作> ops_;
};

// The preview state the print command sets before it shows the chart browser.
void PresetChartPreview();
