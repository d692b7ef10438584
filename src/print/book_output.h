#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class HtmlFileWriter;

// The book page as it is written, member by member, into the book file and, for a long book, into
// parts of it that the engine prints side by side.
//
// A part is a file of its own that lays out page for page as its stretch of the book does: the book
// starts a new page where a part begins (a forced break before that member), and each part after the
// first opens with a page of its own (to be dropped) followed by the same break, so that in both
// files the member starts a page in the same state. A part ends before the first member after
// PartChars() characters, or from three quarters of that on before a member that begins a generation.
class BookOutput {
public:
    // `head`: the lines before the first member; `tail`: the lines after the last.
    BookOutput(const QString& bookFile, const QStringList& head, const QStringList& tail);
    ~BookOutput();

    // A member's block begins: the part may end here.
    void BeginMember(bool startsGeneration);
    // One line and its line break.
    void Put(const QString& text);
    // Text without a line break: the next write continues its line.
    void PutOn(const QString& text);
    // Writes the tail and commits every file; answers the files to print the book from, in order: the
    // book file alone, or its parts.
    QStringList Finish();

    // The part files are numbered in the temporary folder.
    static QString PartFile(int number);
    // Removes the part files of an earlier book.
    static void RemoveParts();
    static qsizetype PartChars();
    // Tests and benchmarks cut smaller or larger parts; 0 restores the default.
    static void SetPartChars(qsizetype chars);

private:
    void flush();
    void openPart();
    void closePart();

    QStringList head_;
    QStringList tail_;
    std::unique_ptr<HtmlFileWriter> book_;
    std::unique_ptr<HtmlFileWriter> part_;
    QString bookFile_;
    QStringList parts_;
    QString pending_;
    qsizetype partChars_ = 0;
};
