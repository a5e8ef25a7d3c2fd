#pragma once

#include <QByteArrayView>

#include <optional>

// How a GoldSrc server's console parser splits a line into words. The server reads an rcon
// datagram this way: the words "rcon", the challenge and the password, compared as they are
// read, then the rest of the line as the command.
// - Bytes up to 0x20 are blanks between words.
// - A word that opens with a double quote runs to the next double quote (or the end of the
//   line) and is read without its quotes; the next word starts right after the closing quote,
//   blank or not.
// - Outside quotes each of { } ( ) ' , : is a word of its own and ends the word before it.
// - Any other word runs to the next blank or one of those characters; a double quote inside it
//   is part of it.
// - "//" where a word would start makes the rest of the line a comment. next() does not skip
//   comments: what a comment holds is still read, so that nothing in it escapes masking.
namespace ConsoleWords {

inline bool isBlank(char c) {
    return uchar(c) <= ' ';
}

inline bool isBreak(char c) {
    switch (c) {
    case '{':
    case '}':
    case '(':
    case ')':
    case '\'':
    case ',':
    case ':':
        return true;
    default:
        return false;
    }
}

struct Word {
    qsizetype begin = 0;     // the word's first byte in the line, its opening quote included
    qsizetype end = 0;       // just past the word, its closing quote included
    qsizetype textBegin = 0; // the word as the server reads it: text between the quotes
    qsizetype textEnd = 0;
    bool quoted = false;
};

// The first word at or after from; none when only blanks are left.
std::optional<Word> next(QByteArrayView line, qsizetype from);

} // namespace ConsoleWords
