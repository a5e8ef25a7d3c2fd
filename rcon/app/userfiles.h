#pragma once

#include <QString>

namespace talvero {

// Where the files the program writes ("talvero.ini", "password", "rcon_log.txt") are kept. A
// program folder that the user made (the build folder, a copy of it in the home) and that is the
// user's own and writable keeps them beside the program. An installed program folder never does,
// whoever runs the program, root included: the files go to the user's data folder instead.
// Sounds, libraries and "about" always come from the program folder.
class UserFiles final {
public:
    // The file that `cmake --install` and the Debian package lay into the program folder and the
    // build never makes: a folder holding it is an installed one. Its text says so to a reader.
    static constexpr char InstalledMarker[] = "INSTALLED";

    // True when the program may write its files into programDir: not installed, the running
    // user's own and writable.
    static bool programFolderHoldsThem(const QString &programDir);
    // The user's own folder for them: ~/.local/share/Talvero (XDG_DATA_HOME honoured).
    static QString perUserFolder();
    // The folder for a program running from programDir, made ready: for an installed program
    // the per-user folder is created owner-only and given a copy of the installed default
    // "talvero.ini" when it has none.
    static QString prepare(const QString &programDir);
};

} // namespace talvero
