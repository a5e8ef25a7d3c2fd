#include "echo/inifile.h"

#include "common/savefile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QLatin1String>

#include <utility>
#include <vector>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// One byte per character; one "?" for a character outside Latin-1, even where UTF-16 needs
// two units for it.
QByteArray toLatin1Bytes(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes.append('?');
            ++i;
        } else {
            bytes.append(c > 0xff ? '?' : char(c));
        }
    }
    return bytes;
}

QByteArray withoutBreaks(QByteArray bytes) {
    bytes.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return bytes;
}

// A name as the write will store it and the read will match it.
QByteArray cleanName(const QString &name) {
    return withoutBreaks(toLatin1Bytes(name)).trimmed();
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() &&
           QLatin1String(a.data(), a.size())
                   .compare(QLatin1String(b.data(), b.size()), Qt::CaseInsensitive) == 0;
}

// The value a reader gets from a value as stored.
QByteArrayView readForm(QByteArrayView stored) {
    if (stored.size() >= 2 && isQuote(stored.front()) && stored.back() == stored.front())
        return stored.sliced(1, stored.size() - 2);
    return stored;
}

// The value as it must be stored for readForm to give it back unchanged.
QByteArray storedForm(const QByteArray &value) {
    if (value.isEmpty())
        return value;
    const bool blankEdge = isBlank(value.front()) || isBlank(value.back());
    const bool looksQuoted =
        value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    if (!blankEdge && !looksQuoted)
        return value;
    return '"' + value + '"';
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Line {
    qsizetype start = 0;  // offset of the line's text in the file
    qsizetype length = 0; // the text, without the line end
    qsizetype end = 0;    // offset just after the line end
    Kind kind = Kind::Blank;
    QByteArrayView name;       // section or key name
    QByteArrayView value;      // a key's value as stored
    qsizetype valueOffset = 0; // where a key's value starts within the line

    bool terminated() const { return end > start + length; }
};

Line parseLine(QByteArrayView data, qsizetype start) {
    Line line;
    line.start = start;
    const qsizetype newline = data.indexOf('\n', start);
    line.end = newline < 0 ? data.size() : newline + 1;
    line.length = (newline < 0 ? data.size() : newline) - start;
    if (newline >= 0 && line.length > 0 && data[newline - 1] == '\r')
        --line.length;

    const QByteArrayView text = data.sliced(start, line.length);
    const QByteArrayView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return line;
    if (trimmed.front() == ';') {
        line.kind = Kind::Comment;
        return line;
    }
    if (trimmed.front() == '[') {
        const qsizetype close = trimmed.lastIndexOf(']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmed.sliced(1, close - 1).trimmed();
            return line;
        }
    }
    const qsizetype equals = text.indexOf('=');
    if (equals < 0) {
        line.kind = Kind::Other;
        line.name = trimmed;
        return line;
    }
    line.kind = Kind::Key;
    line.name = text.first(equals).trimmed();
    qsizetype valueStart = equals + 1;
    while (valueStart < text.size() && isBlank(text[valueStart]))
        ++valueStart;
    line.valueOffset = valueStart;
    line.value = text.sliced(valueStart).trimmed();
    return line;
}

// Missing file: true with no content. Present but unreadable (or a folder): false.
bool loadFile(const QString &fileName, QByteArray &content) {
    content.clear();
    const QFileInfo info(fileName);
    if (!info.exists())
        return true;
    if (info.isDir())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool saveFile(const QString &fileName, const QByteArray &content) {
    talvero::removeSaveLeftovers(fileName);
    // The password file is private to its owner; the rewrite must not widen that.
    return talvero::saveFileAtomically(fileName, content, talvero::SavePermissions::KeepExisting);
}

QByteArray lineEndOf(QByteArrayView data) {
    const qsizetype newline = data.indexOf('\n');
    if (newline > 0 && data[newline - 1] == '\r')
        return QByteArrayLiteral("\r\n");
    return QByteArrayLiteral("\n");
}

// The whole file as lines, with the first section of the given name located in it.
struct Document {
    explicit Document(QByteArrayView bytes, QByteArrayView sectionName)
        : data(bytes) {
        for (qsizetype at = 0; at < data.size();) {
            lines.push_back(parseLine(data, at));
            at = lines.back().end;
        }
        const qsizetype count = qsizetype(lines.size());
        for (qsizetype i = 0; i < count && header < 0; ++i) {
            if (lines[i].kind == Kind::Section && sameName(lines[i].name, sectionName))
                header = i;
        }
        if (header < 0)
            return;
        bodyEnd = header + 1;
        while (bodyEnd < count && lines[bodyEnd].kind != Kind::Section)
            ++bodyEnd;
        while (bodyEnd > header + 1 &&
               (lines[bodyEnd - 1].kind == Kind::Blank || lines[bodyEnd - 1].kind == Kind::Comment))
            --bodyEnd;
    }

    qsizetype findKey(QByteArrayView keyName) const {
        for (qsizetype i = header + 1; header >= 0 && i < bodyEnd; ++i) {
            if (lines[i].kind == Kind::Key && sameName(lines[i].name, keyName))
                return i;
        }
        return -1;
    }

    // The file up to and including line i, its line end made sure of.
    void appendThrough(QByteArray &out, qsizetype i, QByteArrayView lineEnd) const {
        out.append(data.first(lines[i].end));
        if (!lines[i].terminated())
            out.append(lineEnd);
    }

    void appendFrom(QByteArray &out, qsizetype i) const {
        if (i < qsizetype(lines.size()))
            out.append(data.sliced(lines[i].start));
    }

    QByteArrayView data;
    std::vector<Line> lines;
    qsizetype header = -1;  // the section's header line, or -1
    qsizetype bodyEnd = -1; // the line after the section's body
};

// Section entries of a block: up to the first empty one, without line breaks.
bool blockEntries(const QString &block, std::vector<QByteArray> &entries) {
    const QByteArray bytes = toLatin1Bytes(block);
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype nul = bytes.indexOf('\0', at);
        if (nul < 0)
            nul = bytes.size();
        if (nul == at)
            break;
        QByteArray entry = withoutBreaks(bytes.sliced(at, nul - at)).trimmed();
        at = nul + 1;
        if (entry.isEmpty())
            continue;
        const Line parsed = parseLine(entry, 0);
        if (parsed.kind == Kind::Section)
            return false;
        entries.push_back(std::move(entry));
    }
    return true;
}

} // namespace

IniFile::IniFile(QString fileName)
    : m_fileName(std::move(fileName)) {}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue,
                            int bufferSize) const {
    const qsizetype limit = qMax(bufferSize - 1, 0);
    const QString fallback = defaultValue.left(limit);
    const QByteArray sectionName = cleanName(section);
    const QByteArray keyName = cleanName(key);
    QByteArray data;
    if (sectionName.isEmpty() || keyName.isEmpty() || !loadFile(m_fileName, data))
        return fallback;

    bool inSection = false;
    for (qsizetype at = 0; at < data.size();) {
        const Line line = parseLine(data, at);
        at = line.end;
        if (line.kind == Kind::Section) {
            if (inSection)
                break;
            inSection = sameName(line.name, sectionName);
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, keyName)) {
            const QByteArrayView value = readForm(line.value);
            return QString::fromLatin1(value.first(qMin(value.size(), limit)));
        }
    }
    return fallback;
}

QString IniFile::readSection(const QString &section, int bufferSize) const {
    const QByteArray sectionName = cleanName(section);
    QByteArray data;
    if (sectionName.isEmpty() || bufferSize < 2 || !loadFile(m_fileName, data))
        return {};
    const Document doc(data, sectionName);
    QByteArray listed;
    for (qsizetype i = doc.header + 1; doc.header >= 0 && i < doc.bodyEnd; ++i) {
        const Line &line = doc.lines[i];
        if (line.kind == Kind::Key) {
            listed.append(line.name);
            listed.append('=');
            listed.append(line.value);
        } else if (line.kind == Kind::Other) {
            listed.append(line.name);
        } else {
            continue;
        }
        listed.append('\0');
    }
    // The lines must fit together with the NUL that closes the block.
    if (listed.size() + 1 > bufferSize)
        listed.truncate(bufferSize - 2);
    return QString::fromLatin1(listed);
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &text) {
    const QByteArray sectionName = cleanName(section);
    const QByteArray keyName = cleanName(key);
    // A key name that would read back as a header, a comment or another key is refused.
    if (sectionName.isEmpty() || keyName.isEmpty() || keyName.front() == '[' ||
        keyName.front() == ';' || keyName.contains('='))
        return false;
    const QByteArray value = storedForm(withoutBreaks(toLatin1Bytes(text)));

    QByteArray data;
    if (!loadFile(m_fileName, data))
        return false;
    const Document doc(data, sectionName);
    const QByteArray lineEnd = lineEndOf(data);
    QByteArray out;
    out.reserve(data.size() + sectionName.size() + keyName.size() + value.size() + 8);

    if (doc.header < 0) {
        out.append(data);
        if (!data.isEmpty() && !data.endsWith('\n'))
            out.append(lineEnd);
        out.append('[' + sectionName + ']' + lineEnd);
        out.append(keyName + '=' + value + lineEnd);
    } else if (const qsizetype keyLine = doc.findKey(keyName); keyLine >= 0) {
        const Line &line = doc.lines[keyLine];
        out.append(data.first(line.start + line.valueOffset));
        out.append(value);
        out.append(data.sliced(line.start + line.length));
    } else {
        doc.appendThrough(out, doc.bodyEnd - 1, lineEnd);
        out.append(keyName + '=' + value + lineEnd);
        doc.appendFrom(out, doc.bodyEnd);
    }
    return saveFile(m_fileName, out);
}

bool IniFile::writeSection(const QString &section, const QString &block) {
    const QByteArray sectionName = cleanName(section);
    std::vector<QByteArray> entries;
    if (sectionName.isEmpty() || !blockEntries(block, entries))
        return false;

    QByteArray data;
    if (!loadFile(m_fileName, data))
        return false;
    const Document doc(data, sectionName);
    const QByteArray lineEnd = lineEndOf(data);
    QByteArray out;
    out.reserve(data.size() + block.size() + sectionName.size() + 8);

    if (doc.header < 0) {
        out.append(data);
        if (!data.isEmpty() && !data.endsWith('\n'))
            out.append(lineEnd);
        out.append('[' + sectionName + ']' + lineEnd);
    } else {
        doc.appendThrough(out, doc.header, lineEnd);
    }
    for (const QByteArray &entry : entries)
        out.append(entry + lineEnd);
    if (doc.header >= 0)
        doc.appendFrom(out, doc.bodyEnd);
    return saveFile(m_fileName, out);
}
