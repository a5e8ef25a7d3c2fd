#pragma once

#include "rcon/cli/commandline.h"

#include <QList>
#include <QString>

// A server talvero-rcon talks to, as the command line named it.
struct ServerTarget {
    QString name; // what its lines are prefixed with: unique among the targets, one line
    QString host;
    int port = 0;
    // A saved server of the Servers window: its password may be kept in the desktop keyring.
    bool saved = false;
};

// A saved server as the command line looks for it.
struct SavedServer {
    QString address; // as typed
    QString host;
    int port = 0;
    QString label;
    QString group;
    QString lastName; // the name it gave when it last answered
};

namespace ServerTargets {

// Whether the choices name saved servers, so that the saved list must be read.
bool needSaved(const QList<ServerChoice> &choices);

// The servers the choices name, in the order given, each once (a server named twice, by its
// address and by its label, is talked to once). False, with the reason, for a name no saved
// server has, a name several have, or a group without servers.
bool resolve(const QList<ServerChoice> &choices, const QList<SavedServer> &saved,
             QList<ServerTarget> &targets, QString &error);

} // namespace ServerTargets
