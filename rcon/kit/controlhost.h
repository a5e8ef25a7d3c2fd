#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

class Platform;
class QPluginLoader;
class QWidget;

// Creates controls by class name from the control libraries in the program folder, as a
// registry of installed controls would: the class name says which library holds it, and the
// library's own metadata must confirm it. A library that is missing or is no control library
// ends in a critical message naming the file; the caller gets nullptr.
class ControlHost final {
public:
    ControlHost(QString programDir, Platform &platform);
    ~ControlHost();
    ControlHost(const ControlHost &) = delete;
    ControlHost &operator=(const ControlHost &) = delete;

    // The control's initial properties, as a window's saved design would give them, are handed
    // to its ReadProperties(bag, runMode) when it has one; the program always runs in run mode.
    QWidget *create(const QString &className, QWidget *parent, const QVariantMap &properties = {});

private:
    // The file that holds a class ("…/libecho.so"), or an empty string for an unknown class.
    QString libraryPath(const QString &className) const;

    QString m_programDir;
    Platform &m_platform;
    QHash<QString, QPluginLoader *> m_loaders;
};
