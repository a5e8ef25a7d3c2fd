#include "tests/support/programfolder.h"

#include <QFile>

ProgramFolder::ProgramFolder(Settings settings) {
    if (!m_dir.isValid())
        return;
    for (const char *lib : {"libecho.so", "libhook.so"}) {
        const QString name = QString::fromLatin1(lib);
        QFile::link(builtProgramDir() + QLatin1Char('/') + name, m_dir.filePath(name));
    }
    if (settings == Settings::Default)
        QFile::copy(QStringLiteral(TALVERO_DEFAULT_INI),
                    m_dir.filePath(QStringLiteral("talvero.ini")));
    QFile::setPermissions(m_dir.filePath(QStringLiteral("talvero.ini")),
                          QFile::ReadOwner | QFile::WriteOwner);
}

QString ProgramFolder::builtProgramDir() {
    return QStringLiteral(TALVERO_PROGRAM_DIR);
}

void ProgramFolder::writeFile(const QString &name, const QByteArray &bytes) const {
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray ProgramFolder::readFile(const QString &name) const {
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
