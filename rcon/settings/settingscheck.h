#pragma once

#include <QString>

// The settings file as the program's start needs it.
namespace SettingsCheck {

// False when "talvero.ini" lacks the first automatic command's key: the file is missing or
// damaged, and the program cannot start from it. A second automatic command kept without a
// first one is cleared from the file, as the Properties dialog clears it.
bool checkAndRepair(const QString &iniPath);

} // namespace SettingsCheck
