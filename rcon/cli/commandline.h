#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// What the command line asked for. Commands keep the bytes they were given, one character per
// byte, so they reach the server exactly as typed, whatever the terminal's encoding.
struct CliOptions {
    QString host;
    int port = 27015;
    int timeoutMs = 5000;
    int quietMs = 300;
    bool json = false;
    QString passwordFile;
    QList<QString> commands;
    bool help = false;
    bool version = false;
};

// talvero-rcon's options. Options may stand anywhere before "--"; every other argument is a
// command. There is deliberately no option that takes the password.
class CommandLine final {
public:
    // Reads the arguments that follow the program's name. False, with the reason in error, for a
    // usage the program cannot follow; nothing has been sent then.
    static bool parse(const QList<QByteArray> &arguments, CliOptions &options, QString &error);

    // Why a command cannot be sent as one command, or an empty string when it can. A line break
    // would end the command early at the server and run the rest as a command of its own.
    static QString commandProblem(QStringView command);

    static QString help();
};
