#include "rcon/cli/passwordsource.h"

#include <QFile>
#include <QtGlobal>

#include <csignal>
#include <cstdio>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal as it was before echo was turned off, put back by a signal that ends the
// program while the password is typed (Ctrl+C, a closed terminal), so the shell that follows
// does not stay blind.
struct termios savedTerminal;
volatile sig_atomic_t echoIsOff = 0;

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreAndRaise(int signalNumber) {
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    const char lineBreak = '\n';
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, &lineBreak, 1);
    // Delivered again, with the default action, once this handler returns.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Echo off for as long as it lives, and the signal handlers that undo it.
class EchoOff final {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = restoreAndRaise;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(EndingSignals); ++i)
            sigaction(EndingSignals[i], &action, &m_previous[i]);
        struct termios quiet = savedTerminal;
        quiet.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK));
        quiet.c_lflag |= ICANON;
        echoIsOff = 1;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
            echoIsOff = 0;
        m_active = true;
    }
    ~EchoOff() {
        if (!m_active)
            return;
        if (echoIsOff)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        echoIsOff = 0;
        for (size_t i = 0; i < std::size(EndingSignals); ++i)
            sigaction(EndingSignals[i], &m_previous[i], nullptr);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    struct sigaction m_previous[std::size(EndingSignals)] = {};
    bool m_active = false;
};

// One line from standard input, without its line break; nothing at the end of input.
std::optional<QByteArray> readLine() {
    QByteArray line;
    char c = 0;
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got == 0)
            return line.isEmpty() ? std::nullopt : std::optional(line);
        if (got < 0)
            return std::nullopt;
        if (c == '\n')
            return line;
        line.append(c);
    }
}

} // namespace

PasswordSource::Result PasswordSource::obtain(const QString &passwordFile, const QString &prompt) {
    if (!passwordFile.isEmpty())
        return fromFile(passwordFile);
    if (qEnvironmentVariableIsSet(EnvironmentVariable)) {
        const QByteArray value = qgetenv(EnvironmentVariable);
        if (!value.isEmpty())
            return checked(value, QString::fromLatin1(EnvironmentVariable));
    }
    if (isatty(STDIN_FILENO))
        return fromTerminal(prompt);
    Result none;
    none.error = QStringLiteral("no password: set %1 or use --password-file FILE")
                     .arg(QLatin1String(EnvironmentVariable));
    return none;
}

PasswordSource::Result PasswordSource::fromFile(const QString &fileName) {
    Result result;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("cannot read the password file %1: %2")
                           .arg(fileName, file.errorString());
        return result;
    }
    struct stat info = {};
    if (fstat(file.handle(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH))) {
        result.warning = QStringLiteral("the password file %1 can be read by other users "
                                        "(chmod 600 %1)")
                             .arg(fileName);
    }
    QByteArray line = file.readLine(64 * 1024);
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        result.error = QStringLiteral("the password file %1 holds no password on its first line")
                           .arg(fileName);
        return result;
    }
    Result found = checked(line, fileName);
    found.warning = result.warning;
    return found;
}

PasswordSource::Result PasswordSource::fromTerminal(const QString &prompt) {
    std::optional<QByteArray> line;
    {
        // Echo goes off before the prompt shows, so nothing typed after it can be echoed.
        EchoOff echoOff;
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        line = readLine();
    }
    std::fputc('\n', stderr);
    if (line && line->endsWith('\r'))
        line->chop(1);
    if (!line || line->isEmpty()) {
        Result none;
        none.error = QStringLiteral("no password given");
        return none;
    }
    return checked(*line, QStringLiteral("the terminal"));
}

PasswordSource::Result PasswordSource::checked(const QByteArray &password, const QString &where) {
    Result result;
    // The server reads a datagram as one line: a line break would cut the password short.
    if (password.contains('\n') || password.contains('\r') || password.contains('\0')) {
        result.error = QStringLiteral("the password from %1 holds a line break").arg(where);
        return result;
    }
    result.password = QString::fromLatin1(password);
    return result;
}
