#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

// A file that cannot be written or read, or a line that is not a template row; nothing was changed.
class ZptFileError : public std::runtime_error {
public:
    explicit ZptFileError(const QString& message);
    QString message() const { return message_; }

private:
    QString message_;
};

// An input-template file (".Zpt"): one line per template row, `"col_name","template",visible,seqno`
// ended by CR LF, in GB18030 (a superset of the GBK the files have always been written in).
class ZptFile {
public:
    struct Row {
        QString colName;
        QString templateName;
        int colVisible = 0;
        int seqno = 0;
    };

    // Replaces the file as a whole or not at all. The format has no escape for a double quote, so one in
    // a text becomes the full-width "＂" and a line break becomes nothing: every file written reads back.
    static void Write(const QString& path, const QList<Row>& rows);
    // Every row of the file; blank lines are skipped. A line without exactly four items, an unclosed
    // quote or a number that is not a whole number throws, naming the line.
    static QList<Row> Read(const QString& path);

private:
    static QString FormatLine(const Row& row);
    // The items of one line: a quoted string without its quotes, or the text up to the next comma with
    // blanks around dropped. ok is false for an unclosed quote.
    static QStringList SplitLine(const QString& line, bool& ok);
};
