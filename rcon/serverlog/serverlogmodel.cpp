#include "rcon/serverlog/serverlogmodel.h"

#include <QColor>
#include <QFont>

#include <algorithm>

namespace {

qsizetype shownLength(const ServerLogLine &line) {
    // "09:29:07  " before the event.
    return line.event().size() + (line.hasTime() ? 10 : 0);
}

size_t fontKind(const ServerLogLine &line) {
    return line.category() == ServerLogLine::Category::Chat ? 1 : 0;
}

} // namespace

ServerLogModel::ServerLogModel(QObject *parent)
    : QAbstractListModel(parent) {
    m_visible.fill(true);
}

void ServerLogModel::append(const QList<ServerLogLine> &lines) {
    // A batch beyond the limit keeps its newest lines only.
    const qsizetype from = qMax<qsizetype>(0, lines.size() - MaxLines);
    const qsizetype incoming = lines.size() - from;
    if (incoming == 0)
        return;

    const qsizetype excess = m_lines.size() + incoming - MaxLines;
    if (excess > 0) {
        const qint64 newFirst = m_firstSerial + excess;
        const qsizetype going =
            std::lower_bound(m_shown.cbegin(), m_shown.cend(), newFirst) - m_shown.cbegin();
        if (going > 0)
            beginRemoveRows({}, 0, int(going) - 1);
        m_lines.remove(0, excess);
        m_firstSerial = newFirst;
        for (const qint64 serial : m_longest) {
            if (serial >= 0 && serial < newFirst)
                m_longestKnown = false;
        }
        if (going > 0) {
            m_shown.remove(0, going);
            endRemoveRows();
        }
    }

    qint64 serial = m_firstSerial + m_lines.size();
    QList<qint64> added;
    added.reserve(incoming);
    for (qsizetype i = from; i < lines.size(); ++i, ++serial) {
        const ServerLogLine &line = lines.at(i);
        m_lines.append(line);
        if (!isShown(line.category()))
            continue;
        added.append(serial);
        qint64 &longest = m_longest.at(fontKind(line));
        if (m_longestKnown &&
            (longest < 0 || shownLength(line) > shownLength(m_lines.at(longest - m_firstSerial))))
            longest = serial;
    }
    if (added.isEmpty())
        return;
    const int first = int(m_shown.size());
    beginInsertRows({}, first, first + int(added.size()) - 1);
    m_shown.append(added);
    endInsertRows();
}

void ServerLogModel::setShown(ServerLogLine::Category category, bool shown) {
    if (isShown(category) == shown)
        return;
    beginResetModel();
    m_visible.at(size_t(category)) = shown;
    m_longestKnown = false;
    m_shown.clear();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (isShown(m_lines.at(i).category()))
            m_shown.append(m_firstSerial + i);
    }
    endResetModel();
}

const ServerLogLine &ServerLogModel::lineAt(int row) const {
    return m_lines.at(m_shown.at(row) - m_firstSerial);
}

int ServerLogModel::rowAtOrAfter(qint64 serial) const {
    const auto at = std::lower_bound(m_shown.cbegin(), m_shown.cend(), serial);
    return at == m_shown.cend() ? -1 : int(at - m_shown.cbegin());
}

std::array<int, 2> ServerLogModel::longestRows() const {
    if (!m_longestKnown) {
        m_longest = {-1, -1};
        qsizetype length[2] = {-1, -1};
        for (const qint64 serial : m_shown) {
            const ServerLogLine &line = m_lines.at(serial - m_firstSerial);
            const size_t kind = fontKind(line);
            if (shownLength(line) > length[kind]) {
                length[kind] = shownLength(line);
                m_longest.at(kind) = serial;
            }
        }
        m_longestKnown = true;
    }
    std::array<int, 2> rows{-1, -1};
    for (size_t kind = 0; kind < rows.size(); ++kind) {
        if (m_longest.at(kind) >= 0)
            rows.at(kind) = rowAtOrAfter(m_longest.at(kind));
    }
    return rows;
}

int ServerLogModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant ServerLogModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= m_shown.size())
        return {};
    const ServerLogLine &line = lineAt(index.row());
    const bool chat = line.category() == ServerLogLine::Category::Chat;
    switch (role) {
    case Qt::DisplayRole:
        return line.viewText();
    case Qt::ToolTipRole:
        return line.logText();
    case Qt::AccessibleDescriptionRole:
        return ServerLogLine::categoryName(line.category());
    case Qt::FontRole:
        // Chat stands out in bold as well as in colour; the rest of the font is the view's.
        if (chat) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ForegroundRole:
        if (chat)
            return QColor(0x00, 0x3C, 0x9E);
        return {};
    default:
        return {};
    }
}
