// talvero-rcon: the remote console from a shell, a script or cron.
#include "rcon/cli/commandline.h"
#include "rcon/cli/exitstatus.h"
#include "rcon/cli/lineeditor.h"
#include "rcon/cli/passwordsource.h"
#include "rcon/cli/queryformat.h"
#include "rcon/cli/rconclient.h"
#include "rcon/cli/rconfanout.h"
#include "rcon/cli/replyformat.h"
#include "rcon/cli/serversurvey.h"
#include "rcon/cli/servertargets.h"
#include "rcon/protocol/rconcodec.h"
#include "rcon/servers/passwordkeyring.h"
#include "rcon/servers/savedservers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

#include <unistd.h>

namespace {

constexpr char ProgramName[] = "talvero-rcon";

void complain(const QString &message) {
    std::fprintf(stderr, "%s: %s\n", ProgramName, message.toLocal8Bit().constData());
}

// A line about one of several servers: its name first, as its output lines begin.
void complainAbout(const QString &server, const QString &message) {
    std::fprintf(stderr, "%s: %s\n", server.toLocal8Bit().constData(),
                 message.toLocal8Bit().constData());
}

// Writes and flushes, so that a script reading the pipe sees each reply as it is whole.
bool writeOut(const QByteArray &bytes) {
    if (bytes.isEmpty())
        return true;
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) ==
               size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

// Writes output of the servers' answers; false, told about, when standard output cannot take
// it.
bool print(const QByteArray &bytes) {
    if (writeOut(bytes))
        return true;
    complain(QStringLiteral("cannot write to standard output"));
    return false;
}

// One line of standard input that is not a terminal, without its line break (and the CR of a
// CR LF file); nothing at its end. A read error is told apart from the end through ferror.
std::optional<QByteArray> readBatchLine() {
    char *buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&buffer, &capacity, stdin);
    std::optional<QByteArray> line;
    if (length >= 0) {
        line = QByteArray(buffer, length);
        if (line->endsWith('\n'))
            line->chop(1);
        if (line->endsWith('\r'))
            line->chop(1);
    }
    std::free(buffer);
    return line;
}

// The next command of standard input read as a batch, blank lines skipped; nothing at its end.
// A line that cannot be sent as one command ends the batch with status 2, a read error with 1.
std::optional<QString> batchCommand(int &status) {
    while (const std::optional<QByteArray> line = readBatchLine()) {
        if (line->trimmed().isEmpty())
            continue;
        const QString command = QString::fromLatin1(*line);
        if (const QString problem = CommandLine::commandProblem(command); !problem.isEmpty()) {
            complain(problem);
            status = ExitStatus::Usage;
            return std::nullopt;
        }
        return command;
    }
    if (std::ferror(stdin)) {
        complain(QStringLiteral("cannot read standard input"));
        status = ExitStatus::OtherError;
    }
    return std::nullopt;
}

// The next command typed at the prompt: a blank line or one that cannot be sent is not sent
// (the latter told about); nothing once the user leaves ("quit", "exit", Ctrl+D).
std::optional<QString> promptCommand(LineEditor &editor) {
    while (const std::optional<QByteArray> line = editor.readLine()) {
        const QByteArray word = line->trimmed();
        if (word.isEmpty())
            continue;
        if (word == "quit" || word == "exit")
            return std::nullopt;
        editor.addToHistory(*line);
        const QString command = QString::fromLatin1(*line);
        if (const QString problem = CommandLine::commandProblem(command); !problem.isEmpty()) {
            complain(problem);
            continue;
        }
        return command;
    }
    return std::nullopt;
}

// Prints one answer, with a complaint about a status answer that is no table; false when
// standard output cannot be written. A server named (talking to several) begins each line.
bool printAnswer(const CliOptions &options, const QString &command, const QString &text,
                 const QString &server = QString()) {
    QString statusError;
    const QByteArray output = options.json
                                  ? ReplyFormat::jsonOutput(command, text, &statusError, server)
                                  : ReplyFormat::plainOutput(text, server);
    if (!print(output))
        return false;
    if (!statusError.isEmpty()) {
        const QString message = QStringLiteral("the reply to \"%1\" is not a status table: %2")
                                    .arg(ReplyFormat::shownText(command), statusError);
        if (server.isNull())
            complain(message);
        else
            complainAbout(server, message);
    }
    return true;
}

// The one password every server without a kept one is sent; checked before anything goes.
std::optional<QString> commonPassword(const CliOptions &options, const QString &prompt,
                                      int &status) {
    const PasswordSource::Result password = PasswordSource::obtain(options.passwordFile, prompt);
    if (!password.warning.isEmpty())
        complain(QStringLiteral("warning: ") + password.warning);
    if (!password.password) {
        complain(password.error);
        status = ExitStatus::Usage;
        return std::nullopt;
    }
    // Such a password would only be refused, and each refusal counts toward a ban.
    if (const QString problem = RconCodec::passwordProblem(*password.password);
        !problem.isEmpty()) {
        complain(problem);
        status = ExitStatus::Usage;
        return std::nullopt;
    }
    return password.password;
}

// The per-user options file the Servers window keeps its list in.
QString optionsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Talvero/Talvero.conf");
}

// The passwords the desktop keyring keeps for the saved servers among the targets, read one
// after another; a server without one is left out. When there is no keyring, or it refuses
// (locked, the user said no), the rest are not asked: a locked keyring would ask the user to
// unlock it once for every server. A refusal is told about.
QList<std::optional<QString>> keyringPasswords(const QList<ServerTarget> &targets) {
    QList<std::optional<QString>> passwords(targets.size());
    PasswordKeyring keyring;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (targets.at(i).keyringKey.isEmpty())
            continue;
        // The answer comes from the event loop, never inside read().
        std::optional<PasswordKeyring::Result> got;
        QEventLoop loop;
        keyring.read(targets.at(i).keyringKey, [&](const PasswordKeyring::Result &result) {
            got = result;
            loop.quit();
        });
        while (!got)
            loop.exec();
        switch (got->status) {
        case PasswordKeyring::Status::Done:
            if (!got->password.isEmpty())
                passwords[i] = got->password;
            break;
        case PasswordKeyring::Status::NotFound:
            break;
        case PasswordKeyring::Status::Failed:
            complain(QStringLiteral("warning: the desktop keyring gave no password (%1); the "
                                    "saved servers get the common password")
                         .arg(got->message));
            return passwords;
        case PasswordKeyring::Status::NoKeyring:
            return passwords;
        }
    }
    return passwords;
}

// One server: each command sent once the reply to the one before is printed, the next line
// read only then, as a terminal or a pipe gives it.
int runOne(const CliOptions &options, const RconRequests::Endpoint &server) {
    // Where the commands come from: the arguments, a prompt, or standard input as a batch.
    std::optional<LineEditor> editor;
    std::function<std::optional<QString>()> nextCommand;
    int status = ExitStatus::Success;
    qsizetype nextArgument = 0;
    if (!options.commands.isEmpty()) {
        nextCommand = [&]() -> std::optional<QString> {
            if (nextArgument >= options.commands.size())
                return std::nullopt;
            return options.commands.at(nextArgument++);
        };
    } else if (isatty(STDIN_FILENO)) {
        editor.emplace(ProgramName,
                       QStringLiteral("%1:%2> ").arg(server.host).arg(server.port).toLocal8Bit());
        nextCommand = [&] { return promptCommand(*editor); };
    } else {
        nextCommand = [&] { return batchCommand(status); };
    }

    RconClient client(server, options.timeoutMs, options.quietMs);
    while (const std::optional<QString> command = nextCommand()) {
        const RconClient::Outcome outcome = client.run(*command);
        if (!outcome.answered) {
            complain(client.describe(outcome));
            return RconClient::exitStatus(outcome.failure);
        }
        if (!printAnswer(options, *command, outcome.text))
            return ExitStatus::OtherError;
    }
    return status;
}

// Several servers: every command to each of them at once, each server's replies in order and
// whole, prefixed with its name. Commands come from the arguments, else from a prompt (each line
// to every server still answering), else from the whole of standard input, read before
// anything is sent.
int runMany(const CliOptions &options, const QList<RconFanout::Server> &servers) {
    const bool interactive = options.commands.isEmpty() && isatty(STDIN_FILENO);
    QList<QString> commands = options.commands;
    if (!interactive && commands.isEmpty()) {
        int status = ExitStatus::Success;
        while (const std::optional<QString> command = batchCommand(status))
            commands.append(*command);
        if (status != ExitStatus::Success)
            return status;
    }

    RconFanout fanout(servers, options.parallel, options.timeoutMs, options.quietMs);
    QEventLoop loop;
    bool writeFailed = false;
    QObject::connect(&fanout, &RconFanout::answered, &loop,
                     [&](int index, const QString &command, const QString &text) {
                         if (!printAnswer(options, command, text, fanout.server(index).name)) {
                             writeFailed = true;
                             fanout.abort();
                             loop.quit();
                         }
                     });
    QObject::connect(&fanout, &RconFanout::failed, &loop, [&](int index, const QString &reason) {
        complainAbout(fanout.server(index).name, reason);
    });
    QObject::connect(&fanout, &RconFanout::finished, &loop, &QEventLoop::quit);

    const auto round = [&](const QList<QString> &roundCommands) {
        fanout.start(roundCommands);
        loop.exec();
    };
    if (!interactive) {
        round(commands);
    } else {
        LineEditor editor(ProgramName,
                          QStringLiteral("%1 servers> ").arg(servers.size()).toLocal8Bit());
        while (!writeFailed && fanout.liveCount() > 0) {
            const std::optional<QString> command = promptCommand(editor);
            if (!command)
                break;
            round({*command});
        }
    }
    if (writeFailed)
        return qMax(int(ExitStatus::OtherError), fanout.worstStatus());
    return fanout.worstStatus();
}

// --query: what each server is, one after another in the order given, without a password.
int runQuery(const CliOptions &options, const QList<ServerTarget> &targets) {
    const int perQuestionMs =
        options.timeoutGiven ? qMax(1, options.timeoutMs / (ServerQuery::Retries + 1)) : 0;
    ServerSurvey survey(targets, options.players, options.rules, perQuestionMs);
    QEventLoop loop;
    int worst = ExitStatus::Success;
    QObject::connect(&survey, &ServerSurvey::serverDone, &loop,
                     [&](int index, const ServerSurvey::Result &result) {
                         const QString &name = survey.server(index).name;
                         if (!print(options.json ? QueryFormat::jsonOutput(name, result)
                                                 : QueryFormat::plainOutput(name, result))) {
                             worst = qMax(worst, int(ExitStatus::OtherError));
                             loop.quit();
                             return;
                         }
                         if (result.failure)
                             complainAbout(name, survey.reason(index, result));
                         worst = qMax(worst, ServerSurvey::exitStatus(result));
                     });
    QObject::connect(&survey, &ServerSurvey::finished, &loop, &QEventLoop::quit);
    survey.start();
    loop.exec();
    return worst;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(ProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVERO_VERSION));

    // The arguments as the bytes they are: a command goes to the server byte for byte.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    CliOptions options;
    QString error;
    if (!CommandLine::parse(arguments, options, error)) {
        complain(error);
        std::fprintf(stderr, "Try '%s --help' for more information.\n", ProgramName);
        return ExitStatus::Usage;
    }
    if (options.help)
        return writeOut(CommandLine::help().toLocal8Bit()) ? ExitStatus::Success
                                                           : ExitStatus::OtherError;
    if (options.version) {
        return writeOut(QByteArray(ProgramName) + ' ' + TALVERO_VERSION + '\n')
                   ? ExitStatus::Success
                   : ExitStatus::OtherError;
    }

    SavedServers saved(optionsFile());
    if (options.list || ServerTargets::needSaved(options.servers))
        saved.load();
    if (options.list)
        return writeOut(ServerTargets::listing(saved)) ? ExitStatus::Success
                                                       : ExitStatus::OtherError;
    QList<ServerTarget> targets;
    QStringList warnings;
    const bool resolved = ServerTargets::resolve(options.servers, saved, targets, error, &warnings);
    for (const QString &warning : std::as_const(warnings))
        complain(QStringLiteral("warning: ") + warning);
    if (!resolved) {
        complain(error);
        return ExitStatus::Usage;
    }
    if (options.query)
        return runQuery(options, targets);

    // A saved server's own password from the keyring; the one common password for the others,
    // asked for once.
    const QList<std::optional<QString>> kept = keyringPasswords(targets);
    std::optional<QString> common;
    if (const qsizetype without = kept.count(std::nullopt); without > 0) {
        const ServerTarget &first = targets.at(kept.indexOf(std::nullopt));
        const QString prompt =
            without == 1
                ? QStringLiteral("rcon password for %1:%2: ").arg(first.host).arg(first.port)
                : QStringLiteral("rcon password for %1 servers: ").arg(without);
        int status = ExitStatus::Success;
        common = commonPassword(options, prompt, status);
        if (!common)
            return status;
    }
    QList<RconFanout::Server> servers;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const ServerTarget &target = targets.at(i);
        const std::optional<QString> &own = kept.at(i);
        if (const QString problem = own ? RconCodec::passwordProblem(*own) : QString();
            !problem.isEmpty()) {
            complain(QStringLiteral("the password kept for %1: %2").arg(target.name, problem));
            return ExitStatus::Usage;
        }
        servers.append(
            RconFanout::Server{target.name, {target.host, target.port, own ? *own : *common}});
    }
    if (servers.size() == 1)
        return runOne(options, servers.constFirst().endpoint);
    return runMany(options, servers);
}
