#include "rcon/settings/startupdefaults.h"

#include "rcon/settings/settingsini.h"

namespace {
std::optional<QString> present(const QString &value) {
    if (value == IniAccess::NotFound)
        return std::nullopt;
    return value;
}
} // namespace

StartupDefaults StartupDefaults::read(const IniAccess &ini, const QString &settingsFile) {
    // The file has always been read with these spellings; the INI logic matches names without
    // regard to case, so they name what the writer below spells otherwise.
    namespace Read = SettingsIni::Read;
    auto get = [&](QLatin1String section, QLatin1String key) {
        return present(ini.GetFromINI(section, key, settingsFile));
    };
    StartupDefaults defaults;
    defaults.address = get(Read::autoip, Read::ip);
    defaults.port = get(Read::autoip, Read::port);
    defaults.command1 = get(Read::autorcon, Read::rcon);
    defaults.interval1 = get(Read::autorcon, Read::time);
    defaults.command2 = get(Read::autorcon, Read::rcon2);
    defaults.interval2 = get(Read::autorcon, Read::time2);
    return defaults;
}

void StartupDefaults::writeAddress(const IniAccess &ini, const QString &settingsFile,
                                   const QString &address, const QString &port) {
    using namespace SettingsIni::Written;
    ini.WriteToINI(address, AutoIP, IP, settingsFile);
    ini.WriteToINI(port, AutoIP, Port, settingsFile);
}

void StartupDefaults::writeCommands(const IniAccess &ini, const QString &settingsFile,
                                    const QString &command1, const QString &interval1,
                                    const QString &command2, const QString &interval2) {
    using namespace SettingsIni::Written;
    ini.WriteToINI(command1, AutoRcon, Rcon, settingsFile);
    ini.WriteToINI(interval1, AutoRcon, Time, settingsFile);
    ini.WriteToINI(command2, AutoRcon, Rcon2, settingsFile);
    ini.WriteToINI(interval2, AutoRcon, Time2, settingsFile);
}

void StartupDefaults::clearSecondCommand(const IniAccess &ini, const QString &settingsFile) {
    using namespace SettingsIni::Written;
    ini.WriteToINI(QString(), AutoRcon, Rcon2, settingsFile);
    ini.WriteToINI(QString(), AutoRcon, Time2, settingsFile);
}
