#include "tests/support/windowservices.h"

#include "rcon/protocol/rconsession.h"

#include <QTest>

WindowServices::WindowServices(ProgramFolder::Settings settingsFile)
    : folder(settingsFile)
    , files(folder.path(), folder.path(), folder.optionsFile())
    , settings(files.optionsFile())
    , controls(files.programDir(), platform)
    , buttons(platform, files.programFile(QStringLiteral("85858.wav"))) {}

bool WindowServices::connectTo(quint16 port, const QString &password) {
    RconSession &session = connection.session();
    session.setPassword(password);
    session.forgetChallenge();
    if (!session.open(QStringLiteral("127.0.0.1"), port) || !session.requestChallenge())
        return false;
    return QTest::qWaitFor([&session] { return !session.challenge().isEmpty(); });
}

void WindowServices::disconnect() {
    connection.session().close();
}
