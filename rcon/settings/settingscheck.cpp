#include "rcon/settings/settingscheck.h"

#include "rcon/settings/iniaccess.h"
#include "rcon/settings/settingsini.h"

namespace SettingsCheck {

bool checkAndRepair(const QString &iniPath) {
    using namespace SettingsIni::Written;
    const IniAccess ini = IniAccess::direct();
    const QString first = ini.GetFromINI(AutoRcon, Rcon, iniPath);
    if (first == IniAccess::NotFound)
        return false;
    const QString second = ini.GetFromINI(AutoRcon, Rcon2, iniPath);
    if (first.isEmpty() && !second.isEmpty() && second != IniAccess::NotFound) {
        ini.WriteToINI(QString(), AutoRcon, Rcon2, iniPath);
        ini.WriteToINI(QString(), AutoRcon, Time2, iniPath);
    }
    return true;
}

} // namespace SettingsCheck
