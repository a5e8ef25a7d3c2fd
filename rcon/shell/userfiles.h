#pragma once

#include <QString>

namespace talvero {

// Where the files the program writes ("talvero.ini", "password", "rcon_log.txt") are kept. A
// program folder that is the user's own and writable (the build folder, a copy in the home)
// keeps them beside the program; an installed one (read-only, or another account's) cannot, so
// they go to the user's data folder instead. Sounds, libraries and "about" always come from the
// program folder.
class UserFiles final {
public:
    // True when the program may write its files into programDir.
    static bool programFolderHoldsThem(const QString &programDir);
    // The user's own folder for them: ~/.local/share/Talvero (XDG_DATA_HOME honoured).
    static QString perUserFolder();
    // The folder for a program running from programDir, made ready: for an installed program
    // the per-user folder is created owner-only and given a copy of the installed default
    // "talvero.ini" when it has none.
    static QString prepare(const QString &programDir);
};

} // namespace talvero
