#pragma once

#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/dao/dao_database.h"
#include "support/temp_book.h"

// A throwaway book of its own for each case, its three files made before the case, with the shared state
// reset around it. A derived fixture calls these from its own SetUp and TearDown. Every keyed open costs a
// key derivation: where the cases can share one book, SuiteBookFixture is cheaper.
class BookFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        EnsureBookFiles();
    }
    void TearDown() override {
        ResetAppState();
        dao::ReleaseAllIdleConnections();
    }

    TempBook book_;
};
