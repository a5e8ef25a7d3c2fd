#pragma once

#include <QByteArray>
#include <QString>

// The user's own state beside the settings (command history, learned names, recent servers):
// small files in the user's data folder, readable by the user alone. An empty folder means
// the state is kept for the session only and nothing is written.
namespace UserStateFile {

// The file's whole contents; empty when it is absent or unreadable.
QByteArray read(const QString &path);

// Replaces the file at once (a reader sees the old or the new contents, never a mix), owner-
// only, creating its folder owner-only when needed. False when it could not be written.
bool write(const QString &path, const QByteArray &bytes);

} // namespace UserStateFile
