// Without libFuzzer the target replays files and folders of inputs once each: the test suite runs the
// corpus this way, so a fault once found stays found.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "fuzz_support.h"

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(arg).isDir()) {
            for (const QString& name : QDir(arg).entryList(QDir::Files, QDir::Name)) files << QDir(arg).filePath(name);
        } else if (QFileInfo(arg).isFile()) {
            files << arg;
        }
        for (const QString& file : files) {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QByteArray bytes = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
