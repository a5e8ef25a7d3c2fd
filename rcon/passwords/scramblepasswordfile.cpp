#include "rcon/passwords/scramblepasswordfile.h"

#include "common/savefile.h"

#include <QFile>
#include <QtEndian>

namespace {
// The key is kept as text and converted at every pass.
constexpr char KeyText[] = "517320";

quint32 scrambleKey() {
    return quint32(QByteArray(KeyText).toInt());
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

bool createEmpty(const QString &path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly))
        return true;
    return QFile::exists(path);
}

} // namespace

bool replacePasswordFile(const QString &path, const QByteArray &bytes) {
    // Owner-only from the first byte, so the text is never readable by others, not even briefly.
    return talvero::saveFileAtomically(path, bytes, talvero::SavePermissions::OwnerOnly);
}

void scrambleBytes(QByteArray &bytes) {
    const qsizetype length = bytes.size();
    if (length == 0)
        return;
    bytes.append(QByteArray(3, '\0'));
    const quint32 key = scrambleKey();
    auto *data = reinterpret_cast<uchar *>(bytes.data());
    // The word is carried from step to step in a register instead of being stored and read back
    // overlapped: after the step at i the byte at i is final, the next word's lower three bytes
    // are this word's upper three, and its top byte (at i+4) is still untouched.
    quint32 word = qFromLittleEndian<quint32>(data);
    for (qsizetype i = 0;; ++i) {
        word += key;
        if (i + 1 == length) {
            qToLittleEndian<quint32>(word, data + i);
            break;
        }
        data[i] = uchar(word);
        word = (word >> 8) | (quint32(data[i + 4]) << 24);
    }
}

void unscrambleBytes(QByteArray &bytes) {
    const qsizetype length = bytes.size() - 3;
    if (length < 1)
        return;
    const quint32 key = scrambleKey();
    auto *data = reinterpret_cast<uchar *>(bytes.data());
    // Last step first; after the step at i the byte at i+3 is final, since no earlier step
    // reaches it.
    quint32 word = qFromLittleEndian<quint32>(data + length - 1);
    for (qsizetype i = length - 1;; --i) {
        word -= key;
        if (i == 0) {
            qToLittleEndian<quint32>(word, data);
            break;
        }
        data[i + 3] = uchar(word >> 24);
        word = (word << 8) | data[i - 1];
    }
    bytes.truncate(length);
}

bool ScramblePasswordFile(const QString &path, bool Scramble) {
    QFile file(path);
    if (!file.exists())
        return createEmpty(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 textLength = Scramble ? file.size() : file.size() - 3;
    if (textLength > MaxScrambleLength)
        return false;
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.size() != textLength + (Scramble ? 0 : 3))
        return false;

    if (textLength < 1) {
        // Nothing to transform; only the permissions are put right.
        return QFile::setPermissions(path, OwnerOnly);
    }
    if (Scramble)
        scrambleBytes(bytes);
    else
        unscrambleBytes(bytes);
    return replacePasswordFile(path, bytes);
}
