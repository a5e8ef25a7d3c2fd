#pragma once

#include "rcon/console/mainconnection.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/controlhost.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/programfiles.h"
#include "rcon/settings/settingsstore.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QString>

// What the application gives a window, without the application: a fresh program folder, a
// fake desktop, where the program's files lie, the per-user options, the main connection, the
// control host and the button factory. A test of one window constructs the window with these
// and nothing else, and deletes it before the services go.
struct WindowServices {
    explicit WindowServices(ProgramFolder::Settings settings = ProgramFolder::Settings::Default);

    PasswordFile passwordFile() const { return files.passwordFile(); }

    // Aims the main connection at a server on 127.0.0.1 with this password and waits until the
    // server has answered its challenge; false when it did not.
    bool connectTo(quint16 port, const QString &password);
    // Ends the main connection, as the main window's Disconnect does.
    void disconnect();

    ProgramFolder folder;
    FakePlatform platform;
    ProgramFiles files;
    SettingsStore settings;
    MainConnection connection;
    ControlHost controls;
    ButtonFactory buttons;
};
