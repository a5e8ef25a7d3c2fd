#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh program folder for one test: the built control libraries linked in, the default
// settings file copied in (unless asked not to), and a private options file. Removed with the
// object.
class ProgramFolder final {
public:
    enum class Settings { Default, None };
    explicit ProgramFolder(Settings settings = Settings::Default);

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Where the per-user on/off options are kept for this test.
    QString optionsFile() const { return m_dir.filePath(QStringLiteral("options/Talvero.conf")); }

    // Writes a file of the folder byte for byte.
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;

    // The build's own program folder, where the control libraries are built.
    static QString builtProgramDir();

private:
    QTemporaryDir m_dir;
};
