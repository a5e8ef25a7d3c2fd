// talvero-testserver: a GoldSrc-like remote console on 127.0.0.1 to try the program against.
#include "tests/support/goldsrcserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

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
    const QCommandLineOption serversOption(
        QStringLiteral("servers"),
        QStringLiteral("Answer as N servers on N ports from --port on, named \"Talvero test "
                       "server 1\" to N (default 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption queryChallengeOption(
        QStringLiteral("query-challenge"),
        QStringLiteral("Server queries: ask for a challenge before answering A2S_INFO too."));
    const QCommandLineOption queryFormatOption(
        QStringLiteral("query-format"),
        QStringLiteral("Server queries: answer A2S_INFO with \"I\" (current), \"m\" (old) or "
                       "both (old-then-current); default current."),
        QStringLiteral("FORMAT"), QStringLiteral("current"));
    const QCommandLineOption querySilentOption(QStringLiteral("query-silent"),
                                               QStringLiteral("Server queries: answer none."));
    parser.addOption(portOption);
    parser.addOption(passwordOption);
    parser.addOption(crowdOption);
    parser.addOption(chatterOption);
    parser.addOption(serversOption);
    parser.addOption(queryChallengeOption);
    parser.addOption(queryFormatOption);
    parser.addOption(querySilentOption);
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "talvero-testserver: bad port \"%s\"\n",
                     qPrintable(parser.value(portOption)));
        return 2;
    }

    const int count = parser.value(serversOption).toInt(&ok);
    if (!ok || count < 1 || count > 1000 || port + uint(count) - 1 > 65535) {
        std::fprintf(stderr, "talvero-testserver: --servers takes 1 to 1000 ports up to 65535\n");
        return 2;
    }
    const QString format = parser.value(queryFormatOption);
    A2sResponder::InfoFormat infoFormat = A2sResponder::InfoFormat::Current;
    if (format == QLatin1String("old"))
        infoFormat = A2sResponder::InfoFormat::Old;
    else if (format == QLatin1String("old-then-current"))
        infoFormat = A2sResponder::InfoFormat::OldThenCurrent;
    else if (format != QLatin1String("current")) {
        std::fprintf(stderr, "talvero-testserver: --query-format takes current, old or "
                             "old-then-current\n");
        return 2;
    }
    int crowd = -1;
    if (parser.isSet(crowdOption)) {
        crowd = parser.value(crowdOption).toInt(&ok);
        if (!ok || crowd < 0 || crowd > 64) {
            std::fprintf(stderr, "talvero-testserver: --crowd takes 0 to 64\n");
            return 2;
        }
    }
    int interval = 0;
    if (parser.isSet(chatterOption)) {
        interval = parser.value(chatterOption).toInt(&ok);
        if (!ok || interval < 1 || interval > 3600000) {
            std::fprintf(stderr, "talvero-testserver: --log-chatter takes 1 to 3600000 ms\n");
            return 2;
        }
    }

    std::vector<std::unique_ptr<GoldSrcServer>> servers;
    for (int i = 0; i < count; ++i) {
        auto server = std::make_unique<GoldSrcServer>();
        server->setPassword(parser.value(passwordOption).toLatin1());
        if (count > 1)
            server->setHostname("Talvero test server " + QByteArray::number(i + 1));
        if (crowd >= 0)
            server->setPlayers(GoldSrcServer::crowd(crowd));
        server->queries().setChallengeRequired(parser.isSet(queryChallengeOption));
        server->queries().setInfoFormat(infoFormat);
        server->queries().setSilent(parser.isSet(querySilentOption));
        const quint16 at = port == 0 ? 0 : quint16(port + uint(i));
        if (!server->listen(at)) {
            std::fprintf(stderr, "talvero-testserver: cannot listen on 127.0.0.1:%u\n", at);
            return 1;
        }
        QObject::connect(server.get(), &GoldSrcServer::commandExecuted, [](const QString &command) {
            std::printf("rcon: %s\n", qPrintable(command));
            std::fflush(stdout);
        });
        servers.push_back(std::move(server));
    }
    QTimer chatter;
    if (interval > 0) {
        QObject::connect(&chatter, &QTimer::timeout, [&servers] {
            for (const auto &server : servers)
                server->writeChatter(1);
        });
        chatter.start(interval);
    }
    if (count == 1 || port == 0) {
        for (const auto &server : servers)
            std::printf("talvero-testserver listening on 127.0.0.1:%u\n", server->port());
    } else {
        std::printf("talvero-testserver listening on 127.0.0.1:%u to %u as %d servers\n",
                    servers.front()->port(), servers.back()->port(), count);
    }
    std::fflush(stdout);
    return app.exec();
}
