// talvero-testserver: a GoldSrc-like remote console on 127.0.0.1 to try the program against.
#include "tests/support/goldsrcserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvero-testserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A game server's remote console on 127.0.0.1, for trying Talvero."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("UDP port to listen on (default 27015)."),
                                        QStringLiteral("N"), QStringLiteral("27015"));
    const QCommandLineOption passwordOption(QStringLiteral("password"),
                                            QStringLiteral("The rcon password (default secret)."),
                                            QStringLiteral("TEXT"), QStringLiteral("secret"));
    const QCommandLineOption crowdOption(
        QStringLiteral("crowd"),
        QStringLiteral("Instead of the default players (odd names, a bot, an HLTV proxy), N "
                       "plain ones."),
        QStringLiteral("N"));
    const QCommandLineOption chatterOption(
        QStringLiteral("log-chatter"),
        QStringLiteral("Every MS milliseconds, write one line of a game going on (chat, kills, "
                       "rounds, players coming and going) to the log, which goes to the addresses "
                       "registered with \"rcon logaddress_add <ip> <port>\" (default off)."),
        QStringLiteral("MS"));
    parser.addOption(portOption);
    parser.addOption(passwordOption);
    parser.addOption(crowdOption);
    parser.addOption(chatterOption);
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "talvero-testserver: bad port \"%s\"\n",
                     qPrintable(parser.value(portOption)));
        return 2;
    }

    GoldSrcServer server;
    server.setPassword(parser.value(passwordOption).toLatin1());
    if (parser.isSet(crowdOption)) {
        const int crowd = parser.value(crowdOption).toInt(&ok);
        if (!ok || crowd < 0 || crowd > 64) {
            std::fprintf(stderr, "talvero-testserver: --crowd takes 0 to 64\n");
            return 2;
        }
        server.setPlayers(GoldSrcServer::crowd(crowd));
    }
    QTimer chatter;
    if (parser.isSet(chatterOption)) {
        const int interval = parser.value(chatterOption).toInt(&ok);
        if (!ok || interval < 1 || interval > 3600000) {
            std::fprintf(stderr, "talvero-testserver: --log-chatter takes 1 to 3600000 ms\n");
            return 2;
        }
        QObject::connect(&chatter, &QTimer::timeout, &server,
                         [&server] { server.writeChatter(1); });
        chatter.start(interval);
    }
    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "talvero-testserver: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    QObject::connect(&server, &GoldSrcServer::commandExecuted, [](const QString &command) {
        std::printf("rcon: %s\n", qPrintable(command));
        std::fflush(stdout);
    });
    std::printf("talvero-testserver listening on 127.0.0.1:%u\n", server.port());
    std::fflush(stdout);
    return app.exec();
}
