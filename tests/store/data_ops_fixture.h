#pragma once

#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
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

    void AddMember(const QVariant& name, const QVariant& father, int generation = 1, const QVariant& sort = 0,
                   const QVariant& birthday = QVariant()) {
        db().Execute("INSERT INTO \"本姓成员\" (filial, father, generation, boy_sort, boy_birthday) VALUES (?, ?, ?, ?, ?)",
                     {name, father, generation, sort, birthday});
    }
    // Members under fathers drawn from the latest of `names` (which grows by them): wide generations,
    // many childless members, sort numbers and birthdays that tie.
    void AddRandomMembers(QRandomGenerator& rng, QStringList& names, int count, int window) {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("员%1").arg(names.size());
            const int low = std::max(0, int(names.size()) - window);
            AddMember(name, names.at(low + int(rng.bounded(names.size() - low))), int(names.size() / 40),
                      int(rng.bounded(3)),
                      rng.bounded(3) == 0 ? QVariant() : QVariant(QStringLiteral("18%1").arg(rng.bounded(5))));
            names << name;
        }
    }

    std::unique_ptr<Cls数据操作> ops_;
};
