#pragma once

#include <memory>

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"

// A throwaway book for each case with a data-operations object over it: made once the book files exist,
// gone before the shared state is reset.
class DataOpsFixture : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        ops_ = std::make_unique<Cls数据操作>();
    }
    void TearDown() override {
        ops_.reset();
        BookFixture::TearDown();
    }

    dao::Database& db() { return App().DataDb; }

    std::unique_ptr<Cls数据操作> ops_;
};
