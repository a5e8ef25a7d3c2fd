// talvero-rcon: the remote console from a shell, a script or cron.
#include "rcon/cli/commandline.h"
#include "rcon/cli/exitstatus.h"
#include "rcon/cli/lineeditor.h"
#include "rcon/cli/passwordsource.h"
#include "rcon/cli/rconclient.h"
#include "rcon/cli/replyformat.h"
#include "rcon/protocol/rconcodec.h"

#include <QCoreApplication>

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

    const QString server = QStringLiteral("%1:%2").arg(options.host).arg(options.port);
    const bool interactive = options.commands.isEmpty() && isatty(STDIN_FILENO);

    const PasswordSource::Result password = PasswordSource::obtain(
        options.passwordFile, QStringLiteral("rcon password for %1: ").arg(server));
    if (!password.warning.isEmpty())
        complain(QStringLiteral("warning: ") + password.warning);
    if (!password.password) {
        complain(password.error);
        return ExitStatus::Usage;
    }
    // Such a password would only be refused, and each refusal counts toward a ban.
    if (const QString problem = RconCodec::passwordProblem(*password.password);
        !problem.isEmpty()) {
        complain(problem);
        return ExitStatus::Usage;
    }

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

    RconClient client(RconRequests::Endpoint{options.host, options.port, *password.password},
                      options.timeoutMs, options.quietMs);
    while (const std::optional<QByteArray> line = nextLine()) {
        if (isBlank(*line))
            continue;
        if (interactive) {
            const QByteArray word = line->trimmed();
            if (word == "quit" || word == "exit")
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
            complain(QStringLiteral("the reply to \"%1\" is not a status table: %2")
                         .arg(ReplyFormat::shownText(command), statusError));
    }
    if (!interactive && options.commands.isEmpty() && std::ferror(stdin)) {
        complain(QStringLiteral("cannot read standard input"));
        return ExitStatus::OtherError;
    }
    return ExitStatus::Success;
}
