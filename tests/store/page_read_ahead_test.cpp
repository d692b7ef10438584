#include <gtest/gtest.h>

#include <optional>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "store/data_ops.h"
#include "store/page_read_ahead.h"
#include "store/page_read_run.h"
#include "support/book_fixture.h"

namespace {

class PageReadAheadTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousBacklog_ = PageReadAhead::StartBacklog();
        OpenDataDb(DataDbPath(), BookDbPassword());
        Cls数据操作 ops;
        for (int i = 0; i < kMembers; ++i) {
            if (i % 4 == 3) continue;  // no page
            QString page = QString("<p>第%1页</p>").arg(i);
            ops.SaveAnyHtml(page, Name(i));
        }
    }
    void TearDown() override {
        PageReadAhead::SetStartBacklog(previousBacklog_);
        BookFixture::TearDown();
    }
    static QString Name(int i) { return QString("成员%1").arg(i); }
    static void Mark(QString& page) { page += "|"; }

    static constexpr int kMembers = 100;
    int previousBacklog_ = 0;
};

// Pages read ahead come in the order asked, made over as asked; a member taken out of turn, or a
// worker that fails, leaves every later member to the writer.
TEST_F(PageReadAheadTest, PagesComeInTurnUntilSomethingGoesWrong) {
    struct Case {
        int backlog;
        int outOfTurnAt;  // -1: none
        int served;       // pages that come read ahead; -1: some, not all (workers made to fail)
    };
    for (const Case c : {Case{1, -1, kMembers}, Case{1, 60, 60}, Case{-1, -1, -1}}) {
        PageReadAhead::SetStartBacklog(c.backlog);
        PageReadRun run;
        PageReadAhead ahead(&PageReadAheadTest::Mark);
        for (int i = 0; i < kMembers; ++i) ahead.Ask(Name(i));
        int served = 0;
        for (int i = 0; i < kMembers; ++i) {
            const std::optional<PageReadAhead::Page> page =
                ahead.Take(i == c.outOfTurnAt ? Name(i + 1) : Name(i));
            if (!page) continue;
            ++served;
            EXPECT_EQ(page->stored, i % 4 != 3) << i;
            EXPECT_EQ(page->text, page->stored ? QString("<p>第%1页</p>|").arg(i) : QString()) << i;
        }
        if (c.served < 0)
            EXPECT_LT(served, kMembers);
        else
            EXPECT_EQ(served, c.served) << c.outOfTurnAt;
    }
}

}  // namespace
