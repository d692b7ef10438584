#pragma once

#include <QString>

// Replaces the whole book with generated members for trying the program out on a large book: five
// roots Test0 ... Test4, each the head of a line of single sons A1 ... An (line 0) to E1 ... En
// (line 4), 5 × (n + 1) members. Pictures, pages, page keywords and page starts are emptied.
class ClsTest {
public:
    // The members of the five lines down to generation n (n < 0 counts as 0). The three book files
    // change together or not at all: a database error rolls everything back and reaches the caller
    // as dao::DaoError. DataDb is opened afresh and stays open.
    void 生成测试数据(qint32 n);

    // The name of line (0 ... 4) in a generation (0 is the root).
    static QString MemberName(int line, qint64 generation);
};
