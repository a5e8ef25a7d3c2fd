#pragma once

#include <QString>
#include <QStringList>
#include <QtPlugin>

class QWidget;

// The interface every control library exports. The host finds a library by the class names in
// its plugin metadata ("ClassNames"), asks it to create a control, and from then on calls the
// control late-bound through Qt's meta-object system: its Q_INVOKABLE methods, Q_PROPERTY
// properties and signals, never through a header of the library.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    virtual QStringList classNames() const = 0;
    // A new control of the class, or nullptr for a class the library does not hold.
    virtual QWidget *createControl(const QString &className, QWidget *parent) = 0;
};

#define ControlFactory_iid "net.talvero.ControlFactory/1.0"
Q_DECLARE_INTERFACE(ControlFactory, ControlFactory_iid)
