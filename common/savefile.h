#pragma once

#include <QByteArray>
#include <QString>

namespace talvero {

// The temporary a save writes before it takes the file's place: "<file>.saving", beside it.
// Its name is fixed, so a save that is interrupted leaves at most one, which the next save of
// the same file overwrites.
QString savingPathFor(const QString &path);
// The file a save of this path writes: the target of a symbolic link, else the path itself.
QString resolvedPath(const QString &path);

enum class SavePermissions {
    OwnerOnly,    // readable and writable by the owner alone, from the first byte written
    KeepExisting, // those of the file being replaced; a new file gets the usual ones
};

// Replaces the file's whole content: the bytes go to the temporary, are flushed to the disk
// and then renamed over the file, so a crash leaves the old or the new content, never a
// mixture. On failure the file is unchanged, the temporary is removed and *error (when given)
// holds the system's reason.
bool saveFileAtomically(const QString &path, const QByteArray &bytes, SavePermissions permissions,
                        QString *error = nullptr);

// Removes what interrupted saves of this file left beside it: the temporary of a fixed name,
// and the randomly named ones ("<file>.XXXXXX") that earlier versions wrote. A leftover of the
// password file may hold its clear text, so every access starts with this.
void removeSaveLeftovers(const QString &path);

} // namespace talvero
