#pragma once

#include <QLatin1String>

// The layout of "talvero.ini", the start-up defaults beside the program. The program writes
// section and key names in one spelling and reads them in another; the INI control matches
// names without regard to case, so both spellings name the same entries.
namespace SettingsIni {

inline constexpr QLatin1String FileName{"talvero.ini"};

// As the Properties dialog writes them. It also reads the two commands back in this spelling
// ("AutoRcon"/"Rcon", "AutoRcon"/"Rcon2").
namespace Written {
inline constexpr QLatin1String AutoIP{"AutoIP"};
inline constexpr QLatin1String IP{"IP"};
inline constexpr QLatin1String Port{"Port"};
inline constexpr QLatin1String AutoRcon{"AutoRcon"};
inline constexpr QLatin1String Rcon{"Rcon"};
inline constexpr QLatin1String Time{"Time"};
inline constexpr QLatin1String Rcon2{"Rcon2"};
inline constexpr QLatin1String Time2{"Time2"};
} // namespace Written

// As the start-up defaults are read when the main window loads and after a reset.
namespace Read {
inline constexpr QLatin1String autoip{"autoip"};
inline constexpr QLatin1String ip{"ip"};
inline constexpr QLatin1String port{"port"};
inline constexpr QLatin1String autorcon{"autorcon"};
inline constexpr QLatin1String rcon{"rcon"};
inline constexpr QLatin1String time{"time"};
inline constexpr QLatin1String rcon2{"rcon2"};
inline constexpr QLatin1String time2{"time2"};
} // namespace Read

} // namespace SettingsIni
