#pragma once

// Deterministic books for benchmarks: one root whose line runs 30 generations deep, families of 3 to 6
// children, the population growing evenly from generation to generation. The same members and seed
// always give the same book.

#include <QString>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/dao/dao_database.h"

namespace book_generator {

constexpr int kGenerations = 30;

// The i-th member's name: the surname and i written in given-name characters; the root is number 0.
inline QString BookMemberName(int i) {
    static const QString digits =
        QStringLiteral("文武德仁义礼智信忠孝廉勇毅宗祖光明家国兴旺永昌世代传承福禄寿喜康宁吉祥");
    QString name = QStringLiteral("王");
    do {
        name += digits.at(i % digits.size());
        i /= int(digits.size());
    } while (i > 0);
    return name;
}

// Members per generation: 1 root, then at least 3 a generation, growing by a common factor so that the
// 30 generations hold `members` in all (a single line when there are too few for families).
inline std::vector<qint64> GenerationSizes(qint64 members) {
    if (members < 1 + 3 * (kGenerations - 1))
        return std::vector<qint64>(size_t(std::max<qint64>(members, 0)), 1);
    const auto sizes = [](double factor) {
        std::vector<qint64> result{1};
        for (int g = 1; g < kGenerations; ++g)
            result.push_back(std::clamp<qint64>(std::llround(std::pow(factor, g)), 3, 6 * result.back()));
        return result;
    };
    const auto total = [](const std::vector<qint64>& s) {
        qint64 sum = 0;
        for (qint64 n : s) sum += n;
        return sum;
    };
    double low = 1.0, high = 6.0;
    for (int i = 0; i < 100; ++i) {
        const double mid = (low + high) / 2;
        (total(sizes(mid)) <= members ? low : high) = mid;
    }
    std::vector<qint64> result = sizes(low);
    result.back() += members - total(result);
    return result;
}

// Adds `members` members to the member table of an empty book (and a page keyword to about one in ten),
// in one transaction.
inline void GenerateBook(dao::Database& db, int members, quint32 seed) {
    std::mt19937 rng(seed);
    const auto below = [&rng](qint64 n) { return qint64(rng() % quint64(n)); };
    static const char* const kMothers[] = {"李氏", "张氏", "刘氏", "陈氏", "杨氏", "黄氏"};

    const QString insertMember = QStringLiteral(
        "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\", \"Boy_Sex\", \"boy_active\", "
        "\"Mother_active\", \"boy_birthday\", \"boy_sort\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    const QString insertKeyword =
        QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\", \"flag\") VALUES (?, ?, -9)");

    const std::vector<qint64> sizes = GenerationSizes(members);
    dao::Transaction tx = db.BeginTrans();
    int next = 0;
    std::vector<int> fathers;  // members of the generation above
    std::vector<int> current;
    const auto add = [&](int father, int generation, int sort) {
        const bool recent = generation >= kGenerations - 3;
        const QString name = BookMemberName(next);
        db.Execute(
            insertMember,
            {name, father < 0 ? QString("") : BookMemberName(father),
             below(10) < 7 ? QString::fromUtf8(kMothers[below(6)]) : QString(""), below(2) == 0,
             recent ? below(10) < 8 : below(20) == 0, recent,
             QStringLiteral("%1-%2-%3").arg(1250 + 25 * generation).arg(1 + below(12)).arg(1 + below(28)),
             sort});
        if (below(10) == 0) db.Execute(insertKeyword, {name, QStringLiteral("第%1世").arg(generation + 1)});
        current.push_back(next++);
    };
    for (size_t g = 0; g < sizes.size(); ++g) {
        current.clear();
        const qint64 children = sizes[g];
        if (g == 0) {
            add(-1, 0, 1);
            fathers.swap(current);
            continue;
        }
        // Families of 3 to 6, about 4.5 on average, under fathers drawn at random from the generation above.
        const qint64 families = std::min<qint64>(
            qint64(fathers.size()), std::max<qint64>({1, (children + 5) / 6, (children * 2 + 8) / 9}));
        for (qint64 i = 0; i < families; ++i)
            std::swap(fathers[size_t(i)], fathers[size_t(i + below(qint64(fathers.size()) - i))]);
        std::vector<qint64> family(static_cast<size_t>(families));
        qint64 sum = 0;
        for (qint64& n : family) sum += (n = 3 + below(4));
        while (sum < children) {
            qint64& n = family[size_t(below(families))];
            if (n < 6 || children > 6 * families) ++n, ++sum;
        }
        while (sum > children) {
            qint64& n = family[size_t(below(families))];
            if (n > 3 || (children < 3 * families && n > 0)) --n, --sum;
        }
        for (qint64 f = 0; f < families; ++f)
            for (qint64 c = 0; c < family[size_t(f)]; ++c) add(fathers[size_t(f)], int(g), int(c + 1));
        fathers.swap(current);
    }
    tx.Commit();
}

}  // namespace book_generator
