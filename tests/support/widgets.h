#pragma once

#include <QAccessible>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>

#include <functional>

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

// What a screen reader calls each button of the window, in the order it finds them; an empty
// name is a button it can only call "button".
inline QStringList accessibleButtonNames(QWidget *window) {
    QStringList names;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *item) {
        if (!item)
            return;
        if (item->role() == QAccessible::Button || item->role() == QAccessible::PushButton)
            names.append(item->text(QAccessible::Name).trimmed());
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return names;
}
