#include "rcon/console/logfilewriter.h"

#include <QStringView>

#include <cstdlib>

namespace {

constexpr quint64 HashStart = 14695981039346656037ULL;

// A pane may hand its line breaks over as Unicode separators too.
bool isBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// FNV-1a over UTF-16 units: extended with each tail, so it never costs the whole pane.
quint64 extendHash(quint64 hash, QStringView text) {
    for (const QChar c : text) {
        hash ^= c.unicode();
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace

bool LogFileWriter::OpenLog(const QString &path) {
    m_file.close();
    if (path != m_path) {
        m_path = path;
        m_consumed = 0;
        m_afterCr = false;
        m_breakAhead = false;
    }
    m_file.setFileName(path);
    m_firstWrite = true;
    // A new log is the user's own: server replies may carry player addresses.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append,
                       QFile::ReadOwner | QFile::WriteOwner);
}

bool LogFileWriter::WriteLog(const QString &paneText) {
    if (!m_file.isOpen())
        return false;

    bool newPane;
    if (m_firstWrite)
        newPane = !paneContinues(paneText);
    else
        newPane = paneText.size() < m_consumed ||
                  (m_consumed > 0 && paneText.at(m_consumed - 1) != m_lastChar);

    qsizetype consumed = m_consumed;
    quint64 hash = m_hash;
    bool afterCr = m_afterCr;
    bool breakAhead = m_breakAhead;
    QString out;
    if (newPane) {
        consumed = 0;
        hash = HashStart;
        afterCr = false;
        breakAhead = false;
        if (!paneText.isEmpty() && fileEndsOpenLine())
            out += QLatin1Char('\n');
    }

    const QStringView tail = QStringView(paneText).mid(consumed);
    out.reserve(out.size() + tail.size() + 1);
    for (QChar c : tail) {
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

    m_consumed = paneText.size();
    m_hash = extendHash(hash, tail);
    m_lastChar = paneText.isEmpty() ? QChar() : paneText.back();
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
    m_consumed = 0;
    m_hash = HashStart;
    m_lastChar = QChar();
    m_afterCr = false;
    m_breakAhead = false;
}

// The pane lived on through a repeated connect when it still starts with everything written
// from it, followed by the line break that came after its last reply. A pane emptied and
// filled again holds new replies, even when they read the same as the old ones.
bool LogFileWriter::paneContinues(const QString &paneText) const {
    if (m_consumed == 0 || paneText.size() <= m_consumed)
        return false;
    const QChar next = paneText.at(m_consumed);
    if (!isBreak(next) && next != QLatin1Char('\r'))
        return false;
    return extendHash(HashStart, QStringView(paneText).left(m_consumed)) == m_hash;
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
