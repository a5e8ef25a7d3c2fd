#pragma once

#include <QString>

#include <optional>

// Where the rcon password comes from: a file named on the command line, the environment, or
// the terminal. Never an argument: every user of the machine can read a program's command line
// (ps, /proc/<pid>/cmdline). The password is kept as its bytes, one character per byte, so a
// password in any encoding reaches the server as it was written.
class PasswordSource final {
public:
    static constexpr char EnvironmentVariable[] = "TALVERO_RCON_PASSWORD";

    struct Result {
        std::optional<QString> password;
        QString error;   // why there is none
        QString warning; // a password was found, but the way it is kept is unsafe
    };

    // --password-file when given, else the environment variable, else a prompt without echo
    // when standard input is a terminal. prompt is what the terminal shows.
    static Result obtain(const QString &passwordFile, const QString &prompt);

private:
    static Result fromFile(const QString &fileName);
    static Result fromTerminal(const QString &prompt);
    static Result checked(const QByteArray &password, const QString &where);
};
