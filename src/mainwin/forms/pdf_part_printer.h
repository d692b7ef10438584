#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "print/pdf_book.h"

// Prints the parts of a book (HTML files) to PDF side by side, each in an engine page of its own, so
// that several of the engine's renderers work at once.
namespace pdf_part_printer {

struct Progress {
    int partsDone = 0;
    int parts = 0;
    int pages = 0;  // of the parts done
};
// Told whenever a part is done and now and then in between; false cancels the printing.
using Report = std::function<bool(const Progress&)>;

enum class Outcome { Done, Cancelled, Failed };
struct Result {
    Outcome outcome = Outcome::Failed;
    // In the order of the files; every part after the first begins with one page not the book's.
    std::vector<pdf_book::Part> parts;
};

// At most `atOnce` parts at a time (0: one per processor). A part that does not load, or does not come
// back from the engine within timeoutMs of its start, fails the whole.
Result Print(const QStringList& files, const QPageLayout& layout, const Report& report, int timeoutMs,
             int atOnce = 0);

}  // namespace pdf_part_printer
