#include "rcon/protocol/consolewords.h"

namespace ConsoleWords {

std::optional<Word> next(QByteArrayView line, qsizetype from) {
    qsizetype pos = from;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    if (pos >= line.size())
        return std::nullopt;
    Word word;
    word.begin = pos;
    if (line[pos] == '"') {
        word.quoted = true;
        word.textBegin = pos + 1;
        const qsizetype close = line.indexOf('"', pos + 1);
        word.textEnd = close < 0 ? line.size() : close;
        word.end = close < 0 ? line.size() : close + 1;
        return word;
    }
    word.textBegin = pos;
    ++pos;
    if (!isBreak(line[word.begin])) {
        while (pos < line.size() && !isBlank(line[pos]) && !isBreak(line[pos]))
            ++pos;
    }
    word.textEnd = word.end = pos;
    return word;
}

} // namespace ConsoleWords
