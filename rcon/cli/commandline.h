#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// One way of naming the servers to talk to, in the order given on the command line.
struct ServerChoice {
    enum class Kind {
        Host,  // -H HOST[:PORT]: host and port below
        Saved, // -s NAME: a saved server by its label, its own name or its address
        Group, // -g NAME: every saved server of a group
        All,   // --all: every saved server
    };
    Kind kind = Kind::Host;
    QString value; // the host, the name or the group
    int port = 0;  // Host only
    bool operator==(const ServerChoice &) const = default;
};

// What the command line asked for. Commands keep the bytes they were given, one character per
// byte, so they reach the server exactly as typed, whatever the terminal's encoding.
struct CliOptions {
    static constexpr int DefaultPort = 27015;
    static constexpr int DefaultParallel = 32;
    static constexpr int MaxParallel = 1024;

    QList<ServerChoice> servers;
    int timeoutMs = 5000;
    bool timeoutGiven = false;
    int quietMs = 300;
    int parallel = DefaultParallel;
    bool json = false;
    bool query = false;
    bool players = false;
    bool rules = false;
    QString passwordFile;
    QList<QString> commands;
    bool list = false; // print the saved servers instead
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
