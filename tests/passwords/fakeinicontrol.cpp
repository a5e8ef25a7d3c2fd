#include "tests/passwords/fakeinicontrol.h"

#include <QFile>

#include <sys/stat.h>

namespace {
bool isHeader(const QString &line, const QString &section) {
    return line.compare(QLatin1Char('[') + section + QLatin1Char(']'), Qt::CaseInsensitive) == 0;
}

bool isKey(const QString &line, const QString &key) {
    return line.section(QLatin1Char('='), 0, 0).compare(key, Qt::CaseInsensitive) == 0 &&
           line.contains(QLatin1Char('='));
}
} // namespace

QStringList FakeIniControl::readLines(const QString &fileName) {
    QFile file(fileName);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    seen.append(bytes);
    return QString::fromLatin1(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString FakeIniControl::GetFromINI(const QString &SectionName, const QString &KeyName,
                                   const QString &FileName) {
    bool inSection = false;
    for (const QString &line : readLines(FileName)) {
        if (line.startsWith(QLatin1Char('[')))
            inSection = isHeader(line, SectionName);
        else if (inSection && isKey(line, KeyName))
            return line.section(QLatin1Char('='), 1);
    }
    return QStringLiteral("[NOT FOUND]");
}

void FakeIniControl::WriteToINI(const QString &Text, const QString &SectionName,
                                const QString &KeyName, const QString &FileName) {
    QStringList lines = readLines(FileName);
    const QString entry = KeyName + QLatin1Char('=') + Text;
    qsizetype header = -1;
    for (qsizetype i = 0; i < lines.size() && header < 0; ++i) {
        if (isHeader(lines[i], SectionName))
            header = i;
    }
    if (header < 0) {
        lines << QLatin1Char('[') + SectionName + QLatin1Char(']') << entry;
    } else {
        qsizetype at = header + 1;
        while (at < lines.size() && !lines[at].startsWith(QLatin1Char('[')) &&
               !isKey(lines[at], KeyName))
            ++at;
        if (at < lines.size() && isKey(lines[at], KeyName))
            lines[at] = entry;
        else
            lines.insert(at, entry);
    }

    const QString temporary = FileName + QStringLiteral(".fake");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    file.close();
    ::chmod(QFile::encodeName(temporary).constData(), newFileMode);
    QFile::remove(FileName);
    QFile::rename(temporary, FileName);
}
