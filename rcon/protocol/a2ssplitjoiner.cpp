#include "rcon/protocol/a2ssplitjoiner.h"

#include <QtEndian>

namespace {

const QByteArray SplitMark = QByteArrayLiteral("\xFE\xFF\xFF\xFF");
const QByteArray AnswerMark = QByteArrayLiteral("\xFF\xFF\xFF\xFF");

} // namespace

bool A2sSplitJoiner::isSplitPart(QByteArrayView datagram) {
    return datagram.startsWith(SplitMark);
}

A2sSplitJoiner::Outcome A2sSplitJoiner::add(const QHostAddress &address, quint16 port,
                                            QByteArrayView datagram, qint64 nowMs) {
    if (!isSplitPart(datagram) || datagram.size() < HeaderSize)
        return Outcome::Invalid;
    const auto info = quint8(datagram.at(8));
    const int number = info >> 4;
    const int count = info & 0x0F;
    if (count < 1 || count > MaxParts || number >= count)
        return Outcome::Invalid;
    const QByteArrayView part = datagram.sliced(HeaderSize);

    const Key key{address, port, qFromLittleEndian<quint32>(datagram.data() + 4)};
    auto it = m_sets.find(key);
    if (it == m_sets.end()) {
        const Sender sender(address, port);
        if (m_sets.size() >= MaxSets || m_setsPerSender.value(sender) >= MaxSetsPerSender ||
            m_bytes + part.size() > MaxBytes)
            return Outcome::NoRoom;
        Set set;
        set.count = count;
        set.startedMs = nowMs;
        set.parts.resize(count);
        it = m_sets.insert(key, set);
        ++m_setsPerSender[sender];
    } else if (it->count != count) {
        return Outcome::Invalid;
    }

    const quint16 bit = quint16(1u << number);
    if (it->have & bit)
        return Outcome::Waiting; // a repeat; the first copy stands
    if (m_bytes + part.size() > MaxBytes)
        return Outcome::NoRoom;
    it->have |= bit;
    it->parts[number] = part.toByteArray();
    m_bytes += part.size();
    if (++it->received < it->count)
        return Outcome::Waiting;

    QByteArray whole;
    for (const QByteArray &piece : std::as_const(it->parts))
        whole += piece;
    remove(it);
    if (!whole.startsWith(AnswerMark))
        return Outcome::Invalid;
    m_joined = whole;
    return Outcome::Joined;
}

int A2sSplitJoiner::expire(qint64 nowMs, qint64 maxAgeMs) {
    int dropped = 0;
    for (auto it = m_sets.begin(); it != m_sets.end();) {
        if (nowMs - it->startedMs >= maxAgeMs) {
            it = remove(it);
            ++dropped;
        } else {
            ++it;
        }
    }
    return dropped;
}

int A2sSplitJoiner::dropSender(const QHostAddress &address, quint16 port) {
    if (!m_setsPerSender.contains(Sender(address, port)))
        return 0;
    QList<Key> keys;
    for (auto it = m_sets.cbegin(); it != m_sets.cend(); ++it) {
        if (it.key().port == port && it.key().address == address)
            keys.append(it.key());
    }
    for (const Key &key : keys)
        remove(m_sets.find(key));
    return int(keys.size());
}

void A2sSplitJoiner::clear() {
    m_sets.clear();
    m_setsPerSender.clear();
    m_bytes = 0;
}

QHash<A2sSplitJoiner::Key, A2sSplitJoiner::Set>::iterator
A2sSplitJoiner::remove(QHash<Key, Set>::iterator it) {
    for (const QByteArray &piece : std::as_const(it->parts))
        m_bytes -= piece.size();
    const Sender sender(it.key().address, it.key().port);
    if (--m_setsPerSender[sender] <= 0)
        m_setsPerSender.remove(sender);
    return m_sets.erase(it);
}
