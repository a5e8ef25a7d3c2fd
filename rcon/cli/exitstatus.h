#pragma once

// What talvero-rcon tells the shell that started it. Scripts test these numbers, so they keep
// their meaning from release to release.
namespace ExitStatus {
inline constexpr int Success = 0;     // every command was answered
inline constexpr int OtherError = 1;  // the output could not be written, the input not read
inline constexpr int Usage = 2;       // bad usage, a command that cannot be sent, no password
inline constexpr int NoAnswer = 3;    // silence within the timeout, or the port refused
inline constexpr int Refused = 4;     // "Bad rcon_password."
inline constexpr int Banned = 5;      // the server's ban notice
inline constexpr int UnknownHost = 6; // the server's name cannot be found
} // namespace ExitStatus
