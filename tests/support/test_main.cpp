#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/test_settings.h"

namespace {
QString gSettingsDir;
}

QString TestSettingsDir() {
    return gSettingsDir;
}

int main(int argc, char** argv) {
    // Test programs are also started by test discovery, outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and standard paths go to a test location, never the user's own; each test process
    // gets its own settings, since ctest runs test cases side by side.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settingsDir;
    gSettingsDir = settingsDir.path();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
