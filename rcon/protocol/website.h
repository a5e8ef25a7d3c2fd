#pragma once

// The product website: opened by "Visit Website", Help and the about program, shown in the
// tray tool tip, the Properties dialog and the two-minute broadcast.
namespace talvero {
inline constexpr char ProductName[] = "Talvero";
inline constexpr char WebsiteAddress[] = "https://www.talvero.net/";
} // namespace talvero
