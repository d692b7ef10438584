#pragma once

#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/dao/dao_database.h"
#include "support/temp_book.h"

// One throwaway book for all the cases of a suite, its three files made before the first case; each case
// empties what it uses. A derived suite that opens the book files does so after calling SetUpTestSuite.
class SuiteBookFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        book_ = new TempBook;
        ResetAppState();
        EnsureBookFiles();
    }
    static void TearDownTestSuite() {
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        delete book_;
        book_ = nullptr;
    }

    static inline TempBook* book_ = nullptr;
};
