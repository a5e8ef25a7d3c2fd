#pragma once

#include <QLatin1String>
#include <QObject>
#include <QPointer>
#include <QString>

// The program's one way to INI files: every read and write of "talvero.ini" and of the
// password file goes through the program's INI control `I1`, which this wraps. The control
// comes from a library loaded at run time, so it is called late-bound by member name. Without a
// control (its library failed to load, or its window is gone) every read answers "[NOT FOUND]"
// and every write is skipped, as a store that cannot be read or written does.
class IniAccess final {
public:
    // The INI control's answer for a missing file, section or key; every reader tests for it.
    static constexpr QLatin1String NotFound{"[NOT FOUND]"};

    IniAccess() = default;
    explicit IniAccess(QObject *control);

    QObject *control() const { return m_control; }

    QString GetFromINI(const QString &section, const QString &key, const QString &file) const;
    // The value comes first, before the section and key, as the control takes them.
    void WriteToINI(const QString &text, const QString &section, const QString &key,
                    const QString &file) const;

private:
    // Guarded, because the control lives on a window that may be closed before its users are.
    QPointer<QObject> m_control;
};
