#pragma once

#include <QString>

// The setting window with two tabs, the first titled longer than its tab
// is wide, saved to `file`. False when the pages did not load in time.
bool grabSettingWindow(const QString &file);
