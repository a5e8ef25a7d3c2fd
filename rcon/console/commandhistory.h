#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

// The commands sent from one command line, newest last, stepped through as a shell does (Up
// for older, Down for newer, back to what was being typed). Up to MaxKept commands are kept
// across runs in a file of the user's own; a command that names a password (rcon_password,
// sv_password, anything ending in "password") stays for the session only and never reaches
// the file.
class CommandHistory final {
public:
    static constexpr int MaxKept = 200;

    // file: where the history is kept across runs; empty keeps it for the session only.
    explicit CommandHistory(QString file = {});
    // Whatever is still to be saved is saved.
    ~CommandHistory();
    CommandHistory(const CommandHistory &) = delete;
    CommandHistory &operator=(const CommandHistory &) = delete;

    // A command sent from the line. The same command twice in a row is kept once.
    void add(const QString &command);
    // Newest first.
    QStringList commands() const;
    const QString &file() const { return m_file; }

    // Stepping: older() returns the command before the one shown (remembering what was being
    // typed on the first step), newer() the one after it and at last the typed text again;
    // nothing when there is no further step.
    std::optional<QString> older(const QString &typed);
    std::optional<QString> newer();
    void resetStepping() { m_step = -1; }

    static bool namesPassword(const QString &command);
    // Saves now what would otherwise reach the file a moment later.
    void flush();

private:
    struct Entry {
        QString text;
        bool sessionOnly = false;
    };
    void save() const;

    QString m_file;
    QList<Entry> m_entries; // oldest first
    int m_step = -1;        // -1: the typed line; 0: the newest command, ...
    QString m_typed;
    // A command is on its way to the server before the disk is touched: the file is written a
    // moment after the last command, once for a run of them.
    QTimer m_saveSoon;
};
