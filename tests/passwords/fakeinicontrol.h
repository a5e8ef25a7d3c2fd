#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Stands in for the INI control where a test must see or steer what the control does: a
// minimal INI reader and writer with the control's members. Like the real one it replaces the
// file through a temporary file and a rename, but the new file gets 'newFileMode', so a test can
// show what happens when the writer widens the permissions. It records the first bytes of the
// file at every call, to show what the control was given.
class FakeIniControl final : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString GetFromINI(const QString &SectionName, const QString &KeyName,
                                   const QString &FileName);
    Q_INVOKABLE void WriteToINI(const QString &Text, const QString &SectionName,
                                const QString &KeyName, const QString &FileName);

    mode_t newFileMode = 0644;
    // The file's text as each call found it.
    QList<QByteArray> seen;

private:
    QStringList readLines(const QString &fileName);
};
