#pragma once

#include <QLatin1String>
#include <QObject>
#include <QPointer>
#include <QString>

// Reading and writing keys of INI files ("talvero.ini", the password file) as the INI control
// does: absent values read "[NOT FOUND]", a value reads at most 253 characters. Either through
// an INI control a form hosts (the control comes from a library loaded at run time, so it is
// called late-bound by member name), or directly through the same INI logic the control uses,
// for the program and the core, which need no form for it.
//
// Through a control that is missing (its library failed to load, or its window is gone) every
// read answers "[NOT FOUND]" and every write is skipped, as a store that cannot be read or
// written does.
class IniAccess final {
public:
    // The INI control's answer for a missing file, section or key; every reader tests for it.
    static constexpr QLatin1String NotFound{"[NOT FOUND]"};

    IniAccess() = default;
    explicit IniAccess(QObject *control);
    // Access without a control.
    static IniAccess direct();

    QObject *control() const { return m_control; }
    // Reads and writes reach the file (a control that is there, or direct access).
    bool isUsable() const { return m_direct || m_control; }

    QString GetFromINI(const QString &section, const QString &key, const QString &file) const;
    // The value comes first, before the section and key, as the control takes them.
    void WriteToINI(const QString &text, const QString &section, const QString &key,
                    const QString &file) const;

private:
    // Guarded, because the control lives on a window that may be closed before its users are.
    QPointer<QObject> m_control;
    bool m_direct = false;
};
