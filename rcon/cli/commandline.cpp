#include "rcon/cli/commandline.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

enum class Option { Host, Port, Server, Group, All, Parallel, Timeout, Wait, PasswordFile, Flag };

struct OptionName {
    const char *longName;
    char shortName;
    Option option;
    bool takesValue;
    bool CliOptions::*flag = nullptr; // the switch a Flag option turns on
};

constexpr OptionName Options[] = {
    {"host", 'H', Option::Host, true},
    {"port", 'p', Option::Port, true},
    {"server", 's', Option::Server, true},
    {"group", 'g', Option::Group, true},
    {"all", 0, Option::All, false},
    {"parallel", 0, Option::Parallel, true},
    {"query", 0, Option::Flag, false, &CliOptions::query},
    {"players", 0, Option::Flag, false, &CliOptions::players},
    {"rules", 0, Option::Flag, false, &CliOptions::rules},
    {"list", 0, Option::Flag, false, &CliOptions::list},
    {"timeout", 0, Option::Timeout, true},
    {"wait", 0, Option::Wait, true},
    {"json", 0, Option::Flag, false, &CliOptions::json},
    {"password-file", 0, Option::PasswordFile, true},
    {"help", 'h', Option::Flag, false, &CliOptions::help},
    {"version", 0, Option::Flag, false, &CliOptions::version},
};

const OptionName *findLong(const QByteArray &name) {
    for (const OptionName &candidate : Options) {
        if (name == candidate.longName)
            return &candidate;
    }
    return nullptr;
}

const OptionName *findShort(char name) {
    for (const OptionName &candidate : Options) {
        if (candidate.shortName != 0 && name == candidate.shortName)
            return &candidate;
    }
    return nullptr;
}

std::optional<int> numberIn(const QByteArray &text, int low, int high) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return number;
}

std::optional<int> portNumber(const QByteArray &text) {
    // Digits only: toInt would also take a sign or blanks around the number.
    if (text.isEmpty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    return numberIn(text, 1, 65535);
}

QString unknownOption(const QByteArray &argument) {
    QString message = QStringLiteral("unknown option %1").arg(QString::fromLocal8Bit(argument));
    // Someone looking for a password option finds out where the password goes instead.
    if (argument.toLower().contains("pass")) {
        message += QStringLiteral(" (no option takes the password: set TALVERO_RCON_PASSWORD or "
                                  "use --password-file FILE)");
    }
    return message;
}

// Takes one option's value; false with error when it is out of range or malformed.
bool apply(const OptionName &option, const QByteArray &value, CliOptions &options,
           std::optional<int> &port, QString &error) {
    const QString shown = QString::fromLocal8Bit(value);
    switch (option.option) {
    case Option::Host:
        if (value.isEmpty()) {
            error = QStringLiteral("--host needs a server name or address");
            return false;
        }
        options.servers.append(ServerChoice{ServerChoice::Kind::Host, shown, 0});
        return true;
    case Option::Port:
        if (const auto number = portNumber(value)) {
            port = *number;
            return true;
        }
        error = QStringLiteral("bad port \"%1\" (1 to 65535)").arg(shown);
        return false;
    case Option::Server:
    case Option::Group:
        if (value.trimmed().isEmpty()) {
            error = QStringLiteral("--%1 needs a name").arg(QLatin1String(option.longName));
            return false;
        }
        options.servers.append(ServerChoice{
            option.option == Option::Server ? ServerChoice::Kind::Saved : ServerChoice::Kind::Group,
            shown, 0});
        return true;
    case Option::All:
        options.servers.append(ServerChoice{ServerChoice::Kind::All, {}, 0});
        return true;
    case Option::Parallel:
        if (const auto count = numberIn(value, 1, CliOptions::MaxParallel)) {
            options.parallel = *count;
            return true;
        }
        error = QStringLiteral("bad parallel \"%1\" (servers at a time, 1 to %2)")
                    .arg(shown)
                    .arg(CliOptions::MaxParallel);
        return false;
    case Option::Timeout: {
        bool ok = false;
        const double seconds = value.toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 3600) {
            error = QStringLiteral("bad timeout \"%1\" (seconds, more than 0, at most 3600)")
                        .arg(shown);
            return false;
        }
        options.timeoutMs = qMax(1, int(std::lround(seconds * 1000)));
        options.timeoutGiven = true;
        return true;
    }
    case Option::Wait:
        if (const auto ms = numberIn(value, 1, 600000)) {
            options.quietMs = *ms;
            return true;
        }
        error = QStringLiteral("bad wait \"%1\" (milliseconds, 1 to 600000)").arg(shown);
        return false;
    case Option::PasswordFile:
        if (value.isEmpty()) {
            error = QStringLiteral("--password-file needs a file name");
            return false;
        }
        options.passwordFile = QFile::decodeName(value);
        return true;
    case Option::Flag:
        options.*option.flag = true;
        return true;
    }
    return false;
}

// "host:port" in --host, the way game servers are usually written down; --port, else 27015,
// for a host without one. An address with more than one colon is IPv6 and stays whole.
bool splitHostPort(ServerChoice &server, std::optional<int> portOption, QString &error) {
    server.port = portOption.value_or(CliOptions::DefaultPort);
    const qsizetype colon = server.value.lastIndexOf(QLatin1Char(':'));
    if (colon < 0 || server.value.indexOf(QLatin1Char(':')) != colon)
        return true;
    const auto port = portNumber(server.value.mid(colon + 1).toLatin1());
    if (!port || colon == 0) {
        error = QStringLiteral("bad server \"%1\" (HOST or HOST:PORT)").arg(server.value);
        return false;
    }
    if (portOption && *port != *portOption) {
        error = QStringLiteral("two ports given: %1 in --host and %2 in --port")
                    .arg(*port)
                    .arg(*portOption);
        return false;
    }
    server.value.truncate(colon);
    server.port = *port;
    return true;
}

// The options that only make sense together.
bool checkCombinations(const CliOptions &options, bool portGiven, QString &error) {
    const bool hostGiven = std::any_of(
        options.servers.cbegin(), options.servers.cend(),
        [](const ServerChoice &server) { return server.kind == ServerChoice::Kind::Host; });
    if (options.servers.isEmpty()) {
        error =
            QStringLiteral("no server given (--host HOST, --server NAME, --group NAME or --all)");
        return false;
    }
    if (portGiven && !hostGiven) {
        error = QStringLiteral("--port is the port of the servers given by --host");
        return false;
    }
    if ((options.players || options.rules) && !options.query) {
        error = QStringLiteral("--%1 goes with --query")
                    .arg(options.players ? QLatin1String("players") : QLatin1String("rules"));
        return false;
    }
    if (options.query && !options.commands.isEmpty()) {
        error = QStringLiteral("--query sends no commands (\"%1\" given)")
                    .arg(options.commands.constFirst());
        return false;
    }
    return true;
}

} // namespace

bool CommandLine::parse(const QList<QByteArray> &arguments, CliOptions &options, QString &error) {
    std::optional<int> port;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith('-') || argument.size() == 1) {
            options.commands.append(QString::fromLatin1(argument));
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }

        const OptionName *option = nullptr;
        std::optional<QByteArray> value;
        if (argument.startsWith("--")) {
            const qsizetype equals = argument.indexOf('=');
            option = findLong(argument.mid(2, equals < 0 ? -1 : equals - 2));
            if (equals >= 0)
                value = argument.mid(equals + 1);
        } else {
            option = findShort(argument.at(1));
            if (argument.size() > 2)
                value = argument.mid(2);
        }
        if (!option) {
            error = unknownOption(argument);
            return false;
        }
        const QString name = QStringLiteral("--") + QLatin1String(option->longName);
        if (!option->takesValue && value) {
            error = argument.startsWith("--") ? QStringLiteral("%1 takes no value").arg(name)
                                              : unknownOption(argument);
            return false;
        }
        if (option->takesValue && !value) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = arguments.at(++i);
        }
        if (!apply(*option, value.value_or(QByteArray()), options, port, error))
            return false;
    }

    if (options.help || options.version || options.list)
        return true;
    if (!checkCombinations(options, port.has_value(), error))
        return false;
    for (ServerChoice &server : options.servers) {
        if (server.kind == ServerChoice::Kind::Host && !splitHostPort(server, port, error))
            return false;
    }
    for (const QString &command : std::as_const(options.commands)) {
        const QString problem = commandProblem(command);
        if (!problem.isEmpty()) {
            error = problem;
            return false;
        }
    }
    return true;
}

QString CommandLine::commandProblem(QStringView command) {
    if (command.contains(QLatin1Char('\n')) || command.contains(QLatin1Char('\r')))
        return QStringLiteral("a command holds a line break; give each command on its own");
    if (command.contains(QChar(0)))
        return QStringLiteral("a command holds a NUL byte");
    if (command.trimmed().isEmpty())
        return QStringLiteral("an empty command");
    return {};
}

QString CommandLine::help() {
    return QStringLiteral(
        R"(Usage: talvero-rcon -H HOST[:PORT]... [OPTION]... [COMMAND]...
  or:  talvero-rcon -s NAME | -g GROUP | --all [OPTION]... [COMMAND]...
  or:  talvero-rcon SERVERS --query [--players] [--rules] [--json]
Send remote-console (rcon) commands to Half-Life or Counter-Strike (GoldSrc)
dedicated servers and print their replies, or ask them what they are.

Each COMMAND is one console command; quote one that holds blanks
("changelevel de_dust2"). They are sent in order, each once the reply to the
one before is whole. Without commands, they are read from standard input, one
a line (empty lines skipped): at a terminal, a prompt with line editing and
history ("quit", "exit" or Ctrl+D leaves it); otherwise the whole input.

Servers (each may be given several times, together):
  -H, --host HOST[:PORT]  a server's name or address
  -p, --port PORT         the UDP port of a HOST given without one (27015)
  -s, --server NAME       a saved server of the Servers window, by its label,
                          its own name or its address
  -g, --group NAME        every saved server of the group
      --all               every saved server
      --list              print the saved servers (name, address and group,
                          apart by tabs) and exit

With several servers the commands go to all of them at once, each server's in
order over a session of its own, and every line of a reply begins with the
server's name and ": "; a server that fails is told about on standard error
("NAME: ...") and gets nothing more, the others go on. Commands read from
standard input are all read first; at a terminal each line goes to every
server still answering.

Options:
      --parallel N        talk to at most N servers at a time (default 32)
      --timeout SECONDS   how long to wait for the challenge and for the first
                          datagram of each reply (default 5); with --query, for
                          a server's answer, asked twice in that time (4)
      --wait MS           the quiet time that ends a reply (default 300)
      --json              one JSON object a line per command: "command" and
                          "reply", for status also "status" (the server and
                          its players), with several servers also "server"
      --password-file FILE
                          read the password from the first line of FILE
      --query             instead of commands, ask each server what it is (no
                          password): one line a server, its name, map, players
                          (bots among them) and ping
      --players           with --query, also who is on each server
      --rules             with --query, also each server's rules
  -h, --help              show this help and exit
      --version           show the version and exit
  --                      end of the options: every argument after it is a
                          command

Password: a saved server's own, when the desktop keyring keeps one for it;
for the others one password, from --password-file FILE, else from the
environment variable TALVERO_RCON_PASSWORD, else asked for on the terminal
without echo (once). No option takes the password itself, because every user
of the machine can read a program's command line (ps).

The end of a reply: the server does not mark it. An empty acknowledgement (a
command without output) ends the reply at once, and so does the closing line
of a status table ("N users"); any other reply is whole once the server has
sent nothing for the quiet time (--wait) after its last datagram. A reply is
printed as the server's text, split datagrams joined, as UTF-8 (a reply that
is not valid UTF-8 is read as Latin-1), ending with one line break; a command
without output prints nothing.

--query --json prints one object a server: "server", "name", "map", "game",
"folder", "players" (a number, bots included), "max_players", "bots",
"password" and "vac" (true or false), "version", "ping_ms"; with --players
also "player_list" (each "name", "score", "time" in seconds), with --rules
also "rules" (names and values).

Exit status (with several servers, the highest of theirs):
  0  every command was answered (with --query: every server answered)
  1  the output could not be written or the input not read
  2  bad usage, a command holding a line break, no password, one holding a
     double quote where the server cannot read it, a saved server or group
     that is not there; nothing is sent
  3  no answer within the timeout, or the server's port refused the datagram
  4  the server refused the password
  5  the server has banned this address
  6  the server's name cannot be found
On a failure nothing more is sent to that server: refused passwords count
toward the server's ban.
)");
}
