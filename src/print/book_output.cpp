#include "print/book_output.h"

#include <QDir>
#include <QFile>

#include "store/page_file.h"
#include "store/picture_refs.h"

namespace {

// About 120 members of the register, 25 to 30 A4 pages: a thousand members make eight parts, one for
// each renderer of a common computer, and the engine's time grows faster than the length of a part.
constexpr qsizetype kDefaultPartChars = 120000;
qsizetype gPartChars = kDefaultPartChars;

// Written text is handed to the files in pieces of about this size.
constexpr qsizetype kFlushChars = 1 << 20;

const QString kLeadPage = QStringLiteral("<div>&nbsp;</div>");
const QString kPageBreak = QStringLiteral("<div style='page-break-before:always'></div>");

QString Lines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) text += line + QStringLiteral("\r\n");
    return text;
}

}  // namespace

BookOutput::BookOutput(const QString& bookFile, const QStringList& head, const QStringList& tail)
    : head_(head), tail_(tail), bookFile_(bookFile) {
    RemoveParts();
    book_ = std::make_unique<HtmlFileWriter>(bookFile);
    book_->Write(Lines(head_));
    openPart();
}

BookOutput::~BookOutput() = default;

void BookOutput::BeginMember(bool startsGeneration) {
    const qsizetype limit = PartChars();
    if (partChars_ < limit && !(startsGeneration && partChars_ >= limit / 4 * 3)) return;
    closePart();
    openPart();
    Put(kPageBreak);
    partChars_ = 0;
}

void BookOutput::Put(const QString& text) {
    PutOn(text);
    pending_ += QStringLiteral("\r\n");
    if (pending_.size() >= kFlushChars) flush();
}

void BookOutput::PutOn(const QString& text) {
    pending_ += text;
    partChars_ += text.size();
}

QStringList BookOutput::Finish() {
    flush();
    book_->Write(Lines(tail_));
    book_->Commit();
    book_.reset();
    if (parts_.isEmpty()) {
        // The book is its own only part.
        part_.reset();
        QFile::remove(PartFile(1));
        return {bookFile_};
    }
    closePart();
    return parts_;
}

void BookOutput::flush() {
    if (pending_.isEmpty()) return;
    part_->WriteBytes(book_->Write(pending_));
    pending_.clear();
}

void BookOutput::openPart() {
    part_ = std::make_unique<HtmlFileWriter>(PartFile(int(parts_.size()) + 1), true);
    QString opening = Lines(head_);
    // The page of the part's own, ended by the break that the book has before this member.
    if (!parts_.isEmpty()) opening += kLeadPage + QStringLiteral("\r\n");
    part_->Write(opening);
}

void BookOutput::closePart() {
    // The book holds what is pending without the break that follows; the part closes with the tail.
    if (!pending_.isEmpty()) {
        part_->WriteBytes(book_->Write(pending_));
        pending_.clear();
    }
    part_->Write(Lines(tail_));
    part_->Commit();
    parts_ << PartFile(int(parts_.size()) + 1);
}

QString BookOutput::PartFile(int number) {
    return picture_refs::TempFolder() + QStringLiteral("/tPrint-%1.htm").arg(number, 3, 10, QLatin1Char('0'));
}

void BookOutput::RemoveParts() {
    QDir folder(picture_refs::TempFolder());
    for (const QString& name : folder.entryList({QStringLiteral("tPrint-*.htm")}, QDir::Files))
        folder.remove(name);
}

qsizetype BookOutput::PartChars() {
    return gPartChars;
}

void BookOutput::SetPartChars(qsizetype chars) {
    gPartChars = chars > 0 ? chars : kDefaultPartChars;
}
