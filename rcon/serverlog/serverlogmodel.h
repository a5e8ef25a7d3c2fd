#pragma once

#include "rcon/protocol/serverlogline.h"

#include <QAbstractListModel>
#include <QList>

#include <array>

// The server log's lines as the Server Log window lists them: the newest MaxLines kept, the
// rows those of the categories shown. Lines come in batches, each added as one insertion, and
// the oldest go from the top as one removal, so a view lays out once per batch.
//
// Every line kept has a serial number, counted from the first line ever added; a view that is
// not following the newest line finds the line it showed again by it.
class ServerLogModel final : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int MaxLines = 20000;

    explicit ServerLogModel(QObject *parent = nullptr);

    void append(const QList<ServerLogLine> &lines);
    // Lines kept, shown or not.
    int lineCount() const { return int(m_lines.size()); }

    void setShown(ServerLogLine::Category category, bool shown);
    bool isShown(ServerLogLine::Category category) const { return m_visible.at(size_t(category)); }

    const ServerLogLine &lineAt(int row) const;
    qint64 serialAt(int row) const { return m_shown.at(row); }
    // The row showing the line with this serial number, or the first row after it; -1 when
    // there is none.
    int rowAtOrAfter(qint64 serial) const;

    // The rows with the most characters among the chat lines (drawn in bold) and among the
    // rest, -1 where there is none: rows as wide as the wider of the two show every line whole,
    // give or take the widths of the letters.
    std::array<int, 2> longestRows() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<ServerLogLine> m_lines;
    qint64 m_firstSerial = 0; // the serial number of m_lines.first()
    QList<qint64> m_shown;    // the serial numbers of the rows, ascending
    std::array<bool, ServerLogLine::CategoryCount> m_visible;
    // The serial numbers of the longest rows (see longestRows), -1 for none; found again from
    // all rows only when one of them has gone.
    mutable std::array<qint64, 2> m_longest{-1, -1};
    mutable bool m_longestKnown = true;
};
