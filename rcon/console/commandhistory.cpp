#include "rcon/console/commandhistory.h"

#include "rcon/console/userstatefile.h"

#include <QRegularExpression>

CommandHistory::CommandHistory(QString file)
    : m_file(std::move(file)) {
    const QString stored = QString::fromUtf8(UserStateFile::read(m_file));
    const QStringList lines = stored.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        // A file written by hand may hold what the program never writes: skip it.
        if (namesPassword(line))
            continue;
        m_entries.append({line, false});
    }
    if (m_entries.size() > MaxKept)
        m_entries.remove(0, m_entries.size() - MaxKept);
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(1000);
    m_saveSoon.callOnTimeout([this] { save(); });
}

CommandHistory::~CommandHistory() {
    flush();
}

void CommandHistory::flush() {
    if (m_saveSoon.isActive()) {
        m_saveSoon.stop();
        save();
    }
}

bool CommandHistory::namesPassword(const QString &command) {
    // Any word, not only the first: "alias x rcon_password ..." carries one as well.
    static const QRegularExpression word(QStringLiteral("[^\\s\"';]+"));
    for (auto it = word.globalMatch(command); it.hasNext();) {
        if (it.next().captured().endsWith(QLatin1String("password"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void CommandHistory::add(const QString &command) {
    m_step = -1;
    m_typed.clear();
    if (command.isEmpty())
        return;
    if (!m_entries.isEmpty() && m_entries.last().text == command)
        return;
    // A line break would split the command in the file; a line edit never holds one anyway.
    const bool sessionOnly = namesPassword(command) || command.contains(QLatin1Char('\n')) ||
                             command.contains(QLatin1Char('\r'));
    m_entries.append({command, sessionOnly});
    if (m_entries.size() > MaxKept)
        m_entries.removeFirst();
    if (!sessionOnly)
        m_saveSoon.start();
}

QStringList CommandHistory::commands() const {
    QStringList newestFirst;
    newestFirst.reserve(m_entries.size());
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it)
        newestFirst.append(it->text);
    return newestFirst;
}

std::optional<QString> CommandHistory::older(const QString &typed) {
    if (m_step + 1 >= m_entries.size())
        return std::nullopt;
    if (m_step == -1)
        m_typed = typed;
    ++m_step;
    return m_entries.at(m_entries.size() - 1 - m_step).text;
}

std::optional<QString> CommandHistory::newer() {
    if (m_step < 0)
        return std::nullopt;
    --m_step;
    if (m_step == -1)
        return m_typed;
    return m_entries.at(m_entries.size() - 1 - m_step).text;
}

void CommandHistory::save() const {
    if (m_file.isEmpty())
        return;
    QByteArray bytes;
    for (const Entry &entry : m_entries) {
        if (entry.sessionOnly)
            continue;
        bytes += entry.text.toUtf8();
        bytes += '\n';
    }
    UserStateFile::write(m_file, bytes);
}
