#include "frame/forms/cls_snd.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

bool IsWaveFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

}  // namespace

void ClsSnd::PlayWav(const QString& file) {
    const QFileInfo info(file);
    // An absolute path never reads as an option of the player.
    const QString path = info.absoluteFilePath();
    if (info.isFile() && IsWaveFile(path)) {
        const struct {
            const char* program;
            QStringList leading;
        } players[] = {{"paplay", {}}, {"pw-play", {}}, {"aplay", {QStringLiteral("-q")}}};
        for (const auto& player : players) {
            const QString program = QStandardPaths::findExecutable(QString::fromLatin1(player.program));
            if (program.isEmpty()) continue;
            if (QProcess::startDetached(program, player.leading + QStringList{path})) return;
        }
    }
    QApplication::beep();
}
