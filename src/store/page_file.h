#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <memory>

// Whole files written for pages: replaced at once or not at all (VbError 75 when they cannot be, 61
// kErrDiskFull when there is no room for them).

// The bytes as the file's whole content; missing folders are made.
void WriteWholeFile(const QString& path, const QByteArray& bytes);

// A page in GB18030 with CR LF line ends. A page edited in the browser may declare another character
// set, which would then be wrong: every declaration gives way to ours.
void WriteHtmlFile(const QString& path, QString text);

// While one of these lives, every page written here names this language (a tag such as "zh-CN") on its
// root element, which a page without one is given; a page that names its own keeps it.
class PageLanguageScope {
public:
    explicit PageLanguageScope(const QString& tag);
    ~PageLanguageScope();
    PageLanguageScope(const PageLanguageScope&) = delete;
    PageLanguageScope& operator=(const PageLanguageScope&) = delete;

private:
    QString previous_;
};

// A page written as it is made, for pages too long to hold whole: the bytes WriteHtmlFile gives for the
// text of all the pieces joined. Every piece ends with a line end; the page's <head>, if it has one, is
// in the first piece. Nothing reaches the path unless Commit succeeds (VbError 75 or 61 when it cannot). A
// work file of the program's own is written in place, without the wait for the disk a user's file gets.
class HtmlFileWriter {
public:
    explicit HtmlFileWriter(const QString& path, bool workFile = false);
    // Answers the bytes written.
    QByteArray Write(QString text);
    // A later piece as another writer gave it: the same text goes to two files converted once.
    void WriteBytes(const QByteArray& bytes);
    void Commit();

private:
    std::unique_ptr<QFileDevice> file_;
    bool started_ = false;
};
