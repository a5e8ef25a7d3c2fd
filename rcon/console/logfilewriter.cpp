#include "rcon/console/logfilewriter.h"

#include <cstdlib>

namespace {

// A pane may hand its line breaks over as Unicode separators too.
bool isBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

bool LogFileWriter::open(const QString &path) {
    m_file.close();
    if (path != m_path) {
        m_path = path;
        m_afterCr = false;
        m_breakAhead = false;
    }
    m_file.setFileName(path);
    m_firstWrite = true;
    // A new log is the user's own: server replies may carry player addresses.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append,
                       QFile::ReadOwner | QFile::WriteOwner);
}

bool LogFileWriter::write(const QString &text) {
    if (!m_file.isOpen())
        return false;

    bool afterCr = m_afterCr;
    bool breakAhead = m_breakAhead;
    QString out;
    // Something else may have written to the file since: its last line is closed first.
    if (m_firstWrite && !text.isEmpty() && fileEndsOpenLine())
        out += QLatin1Char('\n');
    out.reserve(out.size() + text.size() + 1);
    for (QChar c : text) {
        if (c == QLatin1Char('\n') && afterCr) {
            afterCr = false;
            continue;
        }
        afterCr = c == QLatin1Char('\r');
        if (afterCr || isBreak(c))
            c = QLatin1Char('\n');
        if (c == QLatin1Char('\n') && breakAhead) {
            breakAhead = false;
            continue;
        }
        breakAhead = false;
        out += c;
    }
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n'))) {
        out += QLatin1Char('\n');
        breakAhead = true;
    }

    if (!out.isEmpty()) {
        const QByteArray bytes = out.toUtf8();
        if (m_file.write(bytes) != bytes.size() || !m_file.flush())
            return false;
    }
    m_afterCr = afterCr;
    m_breakAhead = breakAhead;
    m_firstWrite = false;
    return true;
}

QString LogFileWriter::errorString() const {
    if (m_path.isEmpty())
        return QStringLiteral("the log was never opened");
    return m_file.errorString();
}

QString LogFileWriter::connectionLine(const QString &host, int port, const QDateTime &when) {
    const int offset = when.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    const QString server = host.contains(QLatin1Char(':'))
                               ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                               : QStringLiteral("%1:%2").arg(host).arg(port);
    return QStringLiteral("=== %1 %2 %3 ===")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), zone, server);
}

bool LogFileWriter::beginConnection(const QString &host, int port, const QDateTime &when) {
    if (!m_file.isOpen())
        return false;
    // The log always ends with a complete line, except when something else wrote to it.
    QByteArray bytes = fileEndsOpenLine() ? QByteArray("\n") : QByteArray();
    // A host typed with a line break would forge a line of its own.
    QString line = connectionLine(host, port, when);
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    bytes += line.toUtf8() + '\n';
    return m_file.write(bytes) == bytes.size() && m_file.flush();
}

void LogFileWriter::paneEmptied() {
    m_afterCr = false;
    m_breakAhead = false;
}

bool LogFileWriter::fileEndsOpenLine() const {
    QFile reader(m_file.fileName());
    if (!reader.open(QIODevice::ReadOnly) || reader.isSequential() || reader.size() == 0)
        return false;
    if (!reader.seek(reader.size() - 1))
        return false;
    char last = 0;
    return reader.getChar(&last) && last != '\n';
}
