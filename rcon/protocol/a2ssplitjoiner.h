#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QHostAddress>
#include <QList>

// Joins the parts of answers a server splits over several datagrams, in this engine's format:
// FE FF FF FF, a 32-bit id, one byte with the part's number in its high four bits and the number
// of parts in its low four, then the part. Parts may come in any order; a set is keyed by its
// sender (address and port) and its id, so parts from another sender never complete it. The
// joined answer must start with FF FF FF FF.
//
// Memory stays bounded whatever comes: at most MaxSets sets and MaxBytes bytes of parts wait,
// and one sender holds at most MaxSetsPerSender of them. A part that finds no room is dropped
// (a waiting set is never pushed out by a newer one). Sets left incomplete are dropped by
// expire() or dropSender(). No clock of its own: the caller hands in the time.
class A2sSplitJoiner final {
public:
    // The engine's answers stay under about 4 KB, a few parts of 1400 bytes; more than this many
    // parts is not an answer of this engine.
    static constexpr int MaxParts = 8;
    static constexpr int HeaderSize = 9;
    static constexpr int MaxSets = 1024;
    static constexpr int MaxSetsPerSender = 4;
    static constexpr qsizetype MaxBytes = 8 * 1024 * 1024;

    enum class Outcome {
        Joined,  // the part completed its set: joined() holds the answer
        Waiting, // kept (or a repeat of a part already kept); the set waits for the rest
        Invalid, // not a part this engine sends: too short, a bad number or count of parts, a
                 // count that differs from its set's, or a joined answer without FF FF FF FF
        NoRoom,  // dropped: too many sets or bytes waiting
    };

    static bool isSplitPart(QByteArrayView datagram);

    // Takes one part that came from address:port at nowMs.
    Outcome add(const QHostAddress &address, quint16 port, QByteArrayView datagram, qint64 nowMs);
    // The answer the last add() that returned Joined completed.
    const QByteArray &joined() const { return m_joined; }

    // Drops the sets whose first part came maxAgeMs or longer before nowMs; how many.
    int expire(qint64 nowMs, qint64 maxAgeMs);
    // Drops every set of one sender; how many.
    int dropSender(const QHostAddress &address, quint16 port);
    void clear();

    int waitingSets() const { return int(m_sets.size()); }
    qsizetype waitingBytes() const { return m_bytes; }

private:
    struct Key {
        QHostAddress address;
        quint16 port = 0;
        quint32 id = 0;
        bool operator==(const Key &) const = default;
    };
    friend size_t qHash(const Key &key, size_t seed) {
        return qHashMulti(seed, key.address, key.port, key.id);
    }
    struct Set {
        int count = 0;
        int received = 0;
        quint16 have = 0; // one bit for each part number received
        qint64 startedMs = 0;
        QList<QByteArray> parts;
    };
    using Sender = std::pair<QHostAddress, quint16>;

    QHash<Key, Set>::iterator remove(QHash<Key, Set>::iterator it);

    QHash<Key, Set> m_sets;
    QHash<Sender, int> m_setsPerSender;
    qsizetype m_bytes = 0;
    QByteArray m_joined;
};
