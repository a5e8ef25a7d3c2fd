#include "rcon/settings/iniaccess.h"

#include "echo/inifile.h"

#include <QMetaMethod>

namespace {
// The control reads a value into a buffer of this many characters.
constexpr int ProfileBufferSize = 254;

// A control without the member (an older or foreign library) is treated as no control.
QMetaMethod memberOf(const QObject *control, const char *signature) {
    const QMetaObject *meta = control->metaObject();
    const int index = meta->indexOfMethod(signature);
    return index < 0 ? QMetaMethod() : meta->method(index);
}
} // namespace

IniAccess::IniAccess(QObject *control)
    : m_control(control) {}

IniAccess IniAccess::direct() {
    IniAccess access;
    access.m_direct = true;
    return access;
}

QString IniAccess::GetFromINI(const QString &section, const QString &key,
                              const QString &file) const {
    if (m_direct)
        return IniFile(file).readString(section, key, NotFound, ProfileBufferSize);
    if (!m_control)
        return NotFound;
    const QMetaMethod member = memberOf(m_control, "GetFromINI(QString,QString,QString)");
    QString result;
    if (!member.isValid() || member.returnType() != QMetaType::QString ||
        !member.invoke(m_control.data(), Qt::DirectConnection, Q_RETURN_ARG(QString, result),
                       Q_ARG(QString, section), Q_ARG(QString, key), Q_ARG(QString, file)))
        return NotFound;
    return result;
}

void IniAccess::WriteToINI(const QString &text, const QString &section, const QString &key,
                           const QString &file) const {
    if (m_direct) {
        IniFile(file).writeString(section, key, text);
        return;
    }
    if (!m_control)
        return;
    const QMetaMethod member = memberOf(m_control, "WriteToINI(QString,QString,QString,QString)");
    if (member.isValid())
        member.invoke(m_control.data(), Qt::DirectConnection, Q_ARG(QString, text),
                      Q_ARG(QString, section), Q_ARG(QString, key), Q_ARG(QString, file));
}
