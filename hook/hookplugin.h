#pragma once

#include "rcon/kit/controlfactory.h"

#include <QObject>

// The control library "Dawdle": holds the class Dawdle.Tarrywatch.
class HookPlugin final : public QObject, public ControlFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ControlFactory_iid FILE "hook.json")
    Q_INTERFACES(ControlFactory)
public:
    QStringList classNames() const override;
    QWidget *createControl(const QString &className, QWidget *parent) override;
};
