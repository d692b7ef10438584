#pragma once

#include <QString>

// The settings folder of this test process (each test process has its own).
QString TestSettingsDir();
