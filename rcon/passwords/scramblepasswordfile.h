#pragma once

#include <QByteArray>
#include <QString>

// The password file lies scrambled on disk. The scramble pass adds the key to the little-endian
// 32-bit word at every byte position, first to last, so the windows overlap and a carry can
// reach the bytes after it; the file grows by the three bytes the last words reach past its end
// (read as zero). The unscramble pass subtracts the key last position first and so restores the
// text exactly, whatever it holds.

// Positions were counted in a signed 16-bit counter: no pass takes more text than this. A
// longer file is left untouched by both passes (and so stays unreadable) rather than being
// half transformed.
inline constexpr qsizetype MaxScrambleLength = 32767;

// Appends the three bytes the last words reach into.
void scrambleBytes(QByteArray &bytes);
// Cuts the three bytes off again, so scrambling and unscrambling any number of times never
// makes the file grow. Text of 3 bytes or less is left as it is.
void unscrambleBytes(QByteArray &bytes);

// Runs one pass on the file in place: Scramble true scrambles, false unscrambles. The file is
// read once and written once, whole and atomically, so a crash leaves either the old or the new
// form and never a mixture; the file is kept readable by its owner only, since it holds server
// passwords. An absent file is created empty. Returns false when the pass could not be done
// (too long, or the file could not be read or written); the file is then unchanged.
bool ScramblePasswordFile(const QString &path, bool Scramble);

// Replaces the file's whole content atomically, readable by its owner only.
bool replacePasswordFile(const QString &path, const QByteArray &bytes);
