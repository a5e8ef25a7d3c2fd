#pragma once

#include "rcon/cli/commandline.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class SavedServers;

// A server talvero-rcon talks to, as the command line named it.
struct ServerTarget {
    QString name; // what its lines are prefixed with: unique among the targets, one line
    QString host;
    int port = 0;
    // For a saved server of the Servers window, the name its password is kept under in the
    // desktop keyring; empty for a server given by --host.
    QString keyringKey;
};

namespace ServerTargets {

// Whether the choices name saved servers, so that the saved list must be read.
bool needSaved(const QList<ServerChoice> &choices);

// The servers the choices name, in the order given, each once (a server named twice, by its
// address and by its label, is talked to once). False, with the reason, for a name no saved
// server has or several have, or a group without servers. A saved server whose address cannot
// be read (a hand-edited file) is refused when named, and left out of a group or --all with a
// warning.
bool resolve(const QList<ServerChoice> &choices, const SavedServers &saved,
             QList<ServerTarget> &targets, QString &error, QStringList *warnings = nullptr);

// The saved servers for --list, one a line in UTF-8: the name -s takes (its label, else the
// name it last answered with, else its address), its address and its group, apart by tabs.
QByteArray listing(const SavedServers &saved);

} // namespace ServerTargets
