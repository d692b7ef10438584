#pragma once

#include <gtest/gtest.h>
#include <QFile>
#include <QString>
#include <ostream>

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Compares text with the checked-in file tests/data/print/<name>. QENTARA_UPDATE_GOLDEN=1 rewrites the
// file instead, for a change that is meant; the diff then shows what changed.
inline void ExpectGolden(const QString& name, const QByteArray& actual) {
    const QString path = QStringLiteral(QENTARA_TEST_DATA "/print/") + name;
    QFile file(path);
    if (qEnvironmentVariable("QENTARA_UPDATE_GOLDEN") == QStringLiteral("1")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(actual);
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "missing golden file " << path.toStdString();
    const QByteArray expected = file.readAll();
    EXPECT_TRUE(expected == actual) << "differs from " << path.toStdString() << "\n--- actual:\n"
                                    << actual.left(4000).toStdString();
}
