#pragma once

#include <QChar>
#include <QDateTime>
#include <QFile>
#include <QString>

// The reply log. The program hands WriteLog the output pane's whole text after every reply;
// the log keeps every reply once and in order, across connections and runs: each write
// appends only what the pane gained since the last one (the pane only grows until a
// disconnect empties it), so a write costs the new text, not the pane. Only the first write
// after OpenLog compares the whole pane with what was written, to tell a pane that lived on
// through a repeated connect from a new one.
//
// The file is UTF-8 with LF line ends, appended to (never truncated), created when absent,
// flushed at every write. It always ends with a complete line: the line break the pane will
// get after its newest reply is written ahead and not written again.
class LogFileWriter final {
public:
    bool OpenLog(const QString &path);
    bool WriteLog(const QString &paneText);

    // The file last opened, and why the last open or write failed, in the system's words.
    const QString &path() const { return m_path; }
    QString errorString() const;

    // Each connection's block begins with one line saying when and to which server:
    // "=== 2026-12-07 21:14:03 +0100 127.0.0.1:27015 ===".
    bool beginConnection(const QString &host, int port,
                         const QDateTime &when = QDateTime::currentDateTime());
    static QString connectionLine(const QString &host, int port, const QDateTime &when);
    // The pane was emptied (by the user, or by a disconnect): whatever it holds next is new.
    void paneEmptied();

private:
    bool paneContinues(const QString &paneText) const;
    bool fileEndsOpenLine() const;

    QFile m_file;
    QString m_path;
    bool m_firstWrite = true;
    // What of the pane is already in the log: its length, a hash of it, its last character.
    qsizetype m_consumed = 0;
    quint64 m_hash = 0;
    QChar m_lastChar;
    // The last character taken was a CR, written as LF; an LF right after it belongs to it.
    bool m_afterCr = false;
    // The log holds a line break the pane does not have yet.
    bool m_breakAhead = false;
};
