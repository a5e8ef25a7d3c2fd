#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

// A window's control by its object name, as assistive technology finds it by its name: tests
// reach controls this way, never through a window's members. A control that is not there ends
// the test run with its name, rather than a crash somewhere later.
template <typename T> T *child(const QObject *parent, const char *name) {
    Q_ASSERT(parent);
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s named \"%s\" in %s", T::staticMetaObject.className(), name,
               qPrintable(parent->objectName()));
    return found;
}
