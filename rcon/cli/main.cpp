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

bool isBlank(const QByteArray &line) {
    return line.trimmed().isEmpty();
}

bool isLeaveWord(const QByteArray &line) {
    const QByteArray word = line.trimmed();
    return word == "quit" || word == "exit";
}

QString statusComplaint(const QString &command, const QString &statusError) {
    return QStringLiteral("the reply to \"%1\" is not a status table: %2")
        .arg(ReplyFormat::shownText(command), statusError);
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
    QEventLoop loop;
    int next = 0;
    bool finished = false;
    std::function<void()> readNext = [&] {
        while (next < targets.size() && targets.at(next).keyringKey.isEmpty())
            ++next;
        if (next == targets.size()) {
            finished = true;
            loop.quit();
            return;
        }
        const int index = next++;
        keyring.read(targets.at(index).keyringKey, [&, index](const PasswordKeyring::Result &got) {
            switch (got.status) {
            case PasswordKeyring::Status::Done:
                if (!got.password.isEmpty())
                    passwords[index] = got.password;
                break;
            case PasswordKeyring::Status::NotFound:
                break;
            case PasswordKeyring::Status::NoKeyring:
                next = int(targets.size());
                break;
            case PasswordKeyring::Status::Failed:
                complain(QStringLiteral("warning: the desktop keyring gave no password (%1); the "
                                        "saved servers get the common password")
                             .arg(got.message));
                next = int(targets.size());
                break;
            }
            readNext();
        });
    };
    // Each answer comes from the event loop, never inside read().
    readNext();
    if (!finished)
        loop.exec();
    return passwords;
}

// One server: each command sent once the reply to the one before is printed, the next line
// read only then, as a terminal or a pipe gives it.
int runOne(const CliOptions &options, const ServerTarget &target, const QString &password) {
    const QString server = QStringLiteral("%1:%2").arg(target.host).arg(target.port);
    const bool interactive = options.commands.isEmpty() && isatty(STDIN_FILENO);

    // Where the commands come from: the arguments, a prompt, or standard input as a batch.
    std::optional<LineEditor> editor;
    std::function<std::optional<QByteArray>()> nextLine;
    qsizetype nextArgument = 0;
    if (!options.commands.isEmpty()) {
        nextLine = [&]() -> std::optional<QByteArray> {
            if (nextArgument >= options.commands.size())
                return std::nullopt;
            return options.commands.at(nextArgument++).toLatin1();
        };
    } else if (interactive) {
        editor.emplace(ProgramName, (server + QStringLiteral("> ")).toLocal8Bit());
        nextLine = [&] { return editor->readLine(); };
    } else {
        nextLine = readBatchLine;
    }

    RconClient client(RconRequests::Endpoint{target.host, target.port, password}, options.timeoutMs,
                      options.quietMs);
    while (const std::optional<QByteArray> line = nextLine()) {
        if (isBlank(*line))
            continue;
        if (interactive) {
            if (isLeaveWord(*line))
                break;
            editor->addToHistory(*line);
        }
        const QString command = QString::fromLatin1(*line);
        const QString problem = CommandLine::commandProblem(command);
        if (!problem.isEmpty()) {
            complain(problem);
            // At the prompt the line is simply not sent; a batch stops where it went wrong.
            if (interactive)
                continue;
            return ExitStatus::Usage;
        }

        const RconClient::Outcome outcome = client.run(command);
        if (!outcome.answered) {
            complain(client.describe(outcome));
            return RconClient::exitStatus(outcome.failure);
        }
        QString statusError;
        const QByteArray output = options.json
                                      ? ReplyFormat::jsonOutput(command, outcome.text, &statusError)
                                      : ReplyFormat::plainOutput(outcome.text);
        if (!writeOut(output)) {
            complain(QStringLiteral("cannot write to standard output"));
            return ExitStatus::OtherError;
        }
        if (!statusError.isEmpty())
            complain(statusComplaint(command, statusError));
    }
    if (!interactive && options.commands.isEmpty() && std::ferror(stdin)) {
        complain(QStringLiteral("cannot read standard input"));
        return ExitStatus::OtherError;
    }
    return ExitStatus::Success;
}

// Several servers: every command to each of them at once, each server's replies in order and
// whole, prefixed with its name. Commands come from the arguments, else from a prompt (each line
// to every server still answering), else from the whole of standard input, read before
// anything is sent.
int runMany(const CliOptions &options, const QList<RconFanout::Server> &servers) {
    const bool interactive = options.commands.isEmpty() && isatty(STDIN_FILENO);
    QList<QString> commands = options.commands;
    if (!interactive && commands.isEmpty()) {
        while (const std::optional<QByteArray> line = readBatchLine()) {
            if (isBlank(*line))
                continue;
            const QString command = QString::fromLatin1(*line);
            if (const QString problem = CommandLine::commandProblem(command); !problem.isEmpty()) {
                complain(problem);
                return ExitStatus::Usage;
            }
            commands.append(command);
        }
        if (std::ferror(stdin)) {
            complain(QStringLiteral("cannot read standard input"));
            return ExitStatus::OtherError;
        }
    }

    RconFanout fanout(servers, options.parallel, options.timeoutMs, options.quietMs);
    QEventLoop loop;
    bool writeFailed = false;
    QObject::connect(&fanout, &RconFanout::answered, &loop,
                     [&](int index, const QString &command, const QString &text) {
                         const QString &name = fanout.server(index).name;
                         QString statusError;
                         const QByteArray output =
                             options.json
                                 ? ReplyFormat::jsonOutput(command, text, &statusError, name)
                                 : ReplyFormat::plainOutput(text, name);
                         if (!writeOut(output)) {
                             complain(QStringLiteral("cannot write to standard output"));
                             writeFailed = true;
                             fanout.abort();
                             loop.quit();
                             return;
                         }
                         if (!statusError.isEmpty())
                             complainAbout(name, statusComplaint(command, statusError));
                     });
    QObject::connect(&fanout, &RconFanout::failed, &loop,
                     [&](int index, const RconClient::Outcome &, const QString &reason) {
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
            const std::optional<QByteArray> line = editor.readLine();
            if (!line || isLeaveWord(*line))
                break;
            if (isBlank(*line))
                continue;
            editor.addToHistory(*line);
            const QString command = QString::fromLatin1(*line);
            if (const QString problem = CommandLine::commandProblem(command); !problem.isEmpty()) {
                complain(problem);
                continue;
            }
            round({command});
        }
    }
    if (writeFailed)
        return qMax(int(ExitStatus::OtherError), fanout.worstStatus());
    return fanout.worstStatus();
}

// --query: what each server is, one after another in the order given, without a password.
int runQuery(const CliOptions &options, const QList<ServerTarget> &targets) {
    QList<ServerSurvey::Server> servers;
    for (const ServerTarget &target : targets)
        servers.append(ServerSurvey::Server{target.name, target.host, quint16(target.port)});
    const int perQuestionMs =
        options.timeoutGiven ? qMax(1, options.timeoutMs / (ServerQuery::Retries + 1)) : 0;
    ServerSurvey survey(servers, options.players, options.rules, perQuestionMs);
    QEventLoop loop;
    int worst = ExitStatus::Success;
    QObject::connect(&survey, &ServerSurvey::serverDone, &loop,
                     [&](int index, const ServerSurvey::Result &result) {
                         const QString &name = survey.server(index).name;
                         const QByteArray output = options.json
                                                       ? QueryFormat::jsonOutput(name, result)
                                                       : QueryFormat::plainOutput(name, result);
                         if (!writeOut(output)) {
                             complain(QStringLiteral("cannot write to standard output"));
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
    QList<std::optional<QString>> passwords = keyringPasswords(targets);
    QStringList without;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (!passwords.at(i))
            without.append(QStringLiteral("%1:%2").arg(targets.at(i).host).arg(targets.at(i).port));
    }
    if (!without.isEmpty()) {
        const QString prompt =
            without.size() == 1
                ? QStringLiteral("rcon password for %1: ").arg(without.constFirst())
                : QStringLiteral("rcon password for %1 servers: ").arg(without.size());
        int status = ExitStatus::Success;
        const std::optional<QString> password = commonPassword(options, prompt, status);
        if (!password)
            return status;
        for (std::optional<QString> &each : passwords) {
            if (!each)
                each = password;
        }
    }
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (const QString problem = RconCodec::passwordProblem(*passwords.at(i));
            !problem.isEmpty()) {
            complain(
                QStringLiteral("the password kept for %1: %2").arg(targets.at(i).name, problem));
            return ExitStatus::Usage;
        }
    }

    if (targets.size() == 1)
        return runOne(options, targets.constFirst(), *passwords.constFirst());
    QList<RconFanout::Server> servers;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const ServerTarget &target = targets.at(i);
        servers.append(
            RconFanout::Server{target.name, {target.host, target.port, *passwords.at(i)}});
    }
    return runMany(options, servers);
}
