#pragma once

#include <QChar>
#include <QDateTime>
#include <QFile>
#include <QString>

// The reply log. After every reply the program hands write() what the output pane was given
// since the last write: the reply, and what came before it (the line break after the previous
// reply, a notice). So the log keeps every reply once and in order, across connections and
// runs, whatever the pane still holds: the pane drops its oldest lines, and the user may empty
// it.
//
// The file is UTF-8 with LF line ends, appended to (never truncated), created when absent,
// flushed at every write. It always ends with a complete line: the line break the pane will
// get after its newest reply is written ahead and not written again.
class LogFileWriter final {
public:
    bool open(const QString &path);
    bool write(const QString &text);

    // The file last opened, and why the last open or write failed, in the system's words.
    const QString &path() const { return m_path; }
    QString errorString() const;

    // Each connection's block begins with one line saying when and to which server:
    // "=== 2026-12-07 21:14:03 +0100 127.0.0.1:27015 ===".
    bool beginConnection(const QString &host, int port,
                         const QDateTime &when = QDateTime::currentDateTime());
    static QString connectionLine(const QString &host, int port, const QDateTime &when);
    // The pane was emptied (by the user, or by a disconnect): the line break written ahead for
    // its newest reply will not come.
    void paneEmptied();

private:
    bool fileEndsOpenLine() const;

    QFile m_file;
    QString m_path;
    bool m_firstWrite = true;
    // The last character taken was a CR, written as LF; an LF right after it belongs to it.
    bool m_afterCr = false;
    // The log holds a line break the pane does not have yet.
    bool m_breakAhead = false;
};
